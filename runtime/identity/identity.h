// The runtime identity of this user account: an Ed25519 key pair kept once per installation,
// with an optional display name. Peers know the account by its public key.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "runtime/base/result.h"

// GNU dialects predefine `unix`; this library names a namespace so.
#ifdef unix
#undef unix
#endif

namespace kivo_identity {

struct Identity {
  std::array<uint8_t, 32> public_key{};
  std::array<uint8_t, 64> secret_key{};  // libsodium's Ed25519 form: seed followed by public key
  std::string display_name;              // may be empty
};

namespace unix {

// $XDG_CONFIG_HOME/kivo/identity (else ~/.config/kivo/identity); none without a home.
std::optional<std::filesystem::path> default_path();

// Loads the identity file, creating it (mode 0600, written atomically) when it does not exist.
kivo::Result<Identity> load_from(const std::filesystem::path& path);
kivo::Result<Identity> load();  // load_from(default_path())

// Stores a new display name beside the key.
kivo::Status save_display_name(const std::filesystem::path& path, const std::string& name);

}  // namespace unix
}  // namespace kivo_identity
