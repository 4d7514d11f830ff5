#include "model/ids.h"

#include <sodium.h>

#include "runtime/base/hex.h"

#include <chrono>
#include <cstdlib>

namespace chat {

std::string new_uuid_simple() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) std::abort();
  unsigned char b[16];
  randombytes_buf(b, sizeof b);
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);  // version 4
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
  return kivo::to_hex(b, sizeof b);
}

std::string new_message_id() { return "m_" + new_uuid_simple(); }
std::string new_channel_id() { return "c_" + new_uuid_simple(); }
std::string new_category_id() { return "cat_" + new_uuid_simple(); }

int64_t now_seconds() {
  using namespace std::chrono;
  int64_t s = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
  return s < 0 ? 0 : s;
}

bool is_valid_message_id(std::string_view id) {
  if (id.empty() || id.size() > 128) return false;
  for (char c : id) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool is_valid_attachment_name(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c < 32 || c == 127) return false;
    // C1 controls U+0080..U+009F are encoded as C2 80..C2 9F.
    if (c == 0xC2 && i + 1 < name.size()) {
      auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return false;
    }
  }
  return true;
}

bool is_valid_blob_ref(std::string_view ref) {
  if (ref.size() != 64) return false;
  for (char c : ref) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace chat
