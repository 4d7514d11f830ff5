// Identifiers and times: fresh ids (kind prefix + random UUID), the clock, and the validity checks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace chat {

std::string new_uuid_simple();  // a version-4 random UUID as 32 lower-case hex digits
std::string new_message_id();   // "m_" + uuid
std::string new_channel_id();   // "c_" + uuid
std::string new_category_id();  // "cat_" + uuid

int64_t now_seconds();  // Unix seconds; 0 before 1970

bool is_valid_message_id(std::string_view id);       // 1..128 bytes of ASCII letters, digits, "-", "_"
bool is_valid_attachment_name(std::string_view name);  // 1..255 bytes, no C0 or C1 control character
bool is_valid_blob_ref(std::string_view ref);        // exactly 64 ASCII hex digits

}  // namespace chat
