// Ed25519 identities of endpoints: the secret key an endpoint proves and the public key peers dial.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/base/result.h"

namespace kivo::p2p {

// The public half of an endpoint identity: 32 bytes of an Ed25519 public key.
struct PublicKey {
  std::array<uint8_t, 32> bytes{};

  std::string to_hex() const;  // 64 lowercase hex digits
  friend bool operator==(const PublicKey&, const PublicKey&) = default;
  friend auto operator<=>(const PublicKey&, const PublicKey&) = default;
};

// Parses 64 lowercase hex digits that encode a valid Ed25519 curve point.
Result<PublicKey> parse_public_key(std::string_view hex);

// The secret half: the 32-byte Ed25519 seed. Keep it private; copying is explicit.
class SecretKey {
public:
  static SecretKey generate();                                          // fresh random key
  static SecretKey from_seed(const std::array<uint8_t, 32>& seed);      // a key kept by the caller
  static Result<SecretKey> from_hex(std::string_view hex);              // 64 hex digits of a seed

  const std::array<uint8_t, 32>& seed() const { return m_seed; }
  const PublicKey& public_key() const { return m_public; }
  std::string to_hex() const;  // the seed as hex, for storage by the caller

private:
  SecretKey() = default;
  std::array<uint8_t, 32> m_seed{};
  PublicKey m_public;
};

}  // namespace kivo::p2p
