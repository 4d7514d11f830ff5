// The JSON form of chat actions: {"Variant": {fields...}} with fields in declaration order, and the
// strict decoder that refuses anything ambiguous before it can reach the document.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/chat_action.h"
#include "runtime/base/result.h"

namespace chat {

nlohmann::ordered_json to_json(const ChatAction& action);  // never fails
std::string encode_chat_action(const ChatAction& action);   // the JSON text, compact

// From JSON text: refuses a bare string, several keys, an unknown variant, a missing required field,
// a duplicate field, a wrong type, nesting deeper than 128 levels and trailing content.
kivo::Result<ChatAction> decode_chat_action(std::string_view text);
// From an already parsed value (which cannot hold duplicate keys); the same checks otherwise.
kivo::Result<ChatAction> decode_chat_action_json(const nlohmann::json& value);

// The nested records, shared with other JSON forms of the model.
nlohmann::ordered_json to_json(const Attachment& attachment);
nlohmann::ordered_json to_json(const Mention& mention);
nlohmann::ordered_json resource_ref_json(const kivo_actions::ResourceRef& ref);
kivo::Result<Attachment> attachment_from_json(const nlohmann::json& value);
kivo::Result<Mention> mention_from_json(const nlohmann::json& value);

}  // namespace chat
