#include "runtime/p2p/secret_key.h"

#include <sodium.h>

#include <cstdlib>

namespace kivo::p2p {
namespace {

void ensure_sodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) std::abort();  // libsodium cannot work without a random source
}

std::string hex_of(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

Result<std::array<uint8_t, 32>> bytes_of_hex(std::string_view hex) {
  if (hex.size() != 64) return make_error("key must be 64 hex digits, got " + std::to_string(hex.size()) + " characters");
  std::array<uint8_t, 32> out{};
  for (size_t i = 0; i < 64; ++i) {
    char c = hex[i];
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else return make_error("key has a character that is not a lowercase hex digit");
    out[i / 2] = static_cast<uint8_t>(out[i / 2] | (i % 2 == 0 ? v << 4 : v));
  }
  return out;
}

}  // namespace

std::string PublicKey::to_hex() const { return hex_of(bytes.data(), bytes.size()); }

Result<PublicKey> parse_public_key(std::string_view hex) {
  ensure_sodium();
  KIVO_TRY_ASSIGN(raw, bytes_of_hex(hex));
  if (crypto_core_ed25519_is_valid_point(raw.data()) != 1) return make_error("key is not a valid Ed25519 public key");
  PublicKey key;
  key.bytes = raw;
  return key;
}

SecretKey SecretKey::generate() {
  ensure_sodium();
  std::array<uint8_t, 32> seed;
  randombytes_buf(seed.data(), seed.size());
  SecretKey key = from_seed(seed);
  sodium_memzero(seed.data(), seed.size());
  return key;
}

SecretKey SecretKey::from_seed(const std::array<uint8_t, 32>& seed) {
  ensure_sodium();
  SecretKey key;
  key.m_seed = seed;
  unsigned char sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(key.m_public.bytes.data(), sk, seed.data());
  sodium_memzero(sk, sizeof sk);
  return key;
}

Result<SecretKey> SecretKey::from_hex(std::string_view hex) {
  KIVO_TRY_ASSIGN(seed, bytes_of_hex(hex));
  return from_seed(seed);
}

std::string SecretKey::to_hex() const { return hex_of(m_seed.data(), m_seed.size()); }

}  // namespace kivo::p2p
