#include "model/chat_records.h"

namespace chat {

const std::string& attachment_name(const Attachment& a) {
  return std::visit([](const auto& v) -> const std::string& { return v.name; }, a);
}

const std::string& attachment_blob(const Attachment& a) {
  return std::visit([](const auto& v) -> const std::string& { return v.blob; }, a);
}

}  // namespace chat
