#include "runtime/identity/identity.h"

#include "runtime/base/hex.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kivo_identity::unix {

namespace fs = std::filesystem;

// File format, one "key value" line each: "kivo-identity 1", "secret <128 hex>", "name <text>".
namespace {

bool unhex(const std::string& text, uint8_t* out, size_t n) {
  if (text.size() != 2 * n) return false;
  size_t got = 0;
  return sodium_hex2bin(out, n, text.c_str(), text.size(), nullptr, &got, nullptr) == 0 && got == n;
}

std::string serialise(const Identity& id) {
  std::string name = id.display_name;
  for (char& c : name)
    if (c == '\n' || c == '\r') c = ' ';
  return "kivo-identity 1\nsecret " + kivo::to_hex(id.secret_key.data(), id.secret_key.size()) + "\nname " + name + "\n";
}

kivo::Status write_atomically(const fs::path& path, const std::string& content) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return kivo::make_error("cannot create " + path.parent_path().string() + ": " + ec.message());
  fs::path tmp = path;
  tmp += ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return kivo::make_error("cannot write " + tmp.string() + ": " + std::strerror(errno));
  bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return kivo::make_error("cannot store the identity at " + path.string());
  }
  return {};
}

kivo::Result<Identity> parse(const std::string& content) {
  std::istringstream in(content);
  std::string line;
  if (!std::getline(in, line) || line != "kivo-identity 1") return kivo::make_error("not an identity file");
  Identity id;
  bool have_key = false;
  while (std::getline(in, line)) {
    if (line.rfind("secret ", 0) == 0) {
      if (!unhex(line.substr(7), id.secret_key.data(), id.secret_key.size()))
        return kivo::make_error("damaged identity key");
      have_key = true;
    } else if (line.rfind("name ", 0) == 0) {
      id.display_name = line.substr(5);
    }
  }
  if (!have_key) return kivo::make_error("identity file has no key");
  // The public half must be the one the seed derives, else the file is damaged.
  uint8_t pk[32], sk[64];
  crypto_sign_seed_keypair(pk, sk, id.secret_key.data());
  if (std::memcmp(sk, id.secret_key.data(), 64) != 0) return kivo::make_error("damaged identity key");
  std::memcpy(id.public_key.data(), pk, 32);
  return id;
}

}  // namespace

std::optional<fs::path> default_path() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
    return fs::path(xdg) / "kivo" / "identity";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config" / "kivo" / "identity";
  return std::nullopt;
}

kivo::Result<Identity> load_from(const fs::path& path) {
  if (sodium_init() < 0) return kivo::make_error("no cryptography available");
  std::ifstream in(path, std::ios::binary);
  if (in) {
    std::stringstream content;
    content << in.rdbuf();
    return parse(content.str());
  }
  if (errno != ENOENT && fs::exists(path)) return kivo::make_error("cannot read " + path.string());
  Identity id;
  crypto_sign_keypair(id.public_key.data(), id.secret_key.data());
  KIVO_TRY(write_atomically(path, serialise(id)));
  return id;
}

kivo::Result<Identity> load() {
  auto path = default_path();
  if (!path) return kivo::make_error("no home directory for the identity");
  return load_from(*path);
}

kivo::Status save_display_name(const fs::path& path, const std::string& name) {
  KIVO_TRY_ASSIGN(id, load_from(path));
  id.display_name = name;
  return write_atomically(path, serialise(id));
}

}  // namespace kivo_identity::unix
