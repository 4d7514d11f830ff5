// EncodedAction: a named action with its JSON payload, as it travels through the framework.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace kivo_actions {

// What kind of work an action asks for; the handler receiving it decides by this type.
enum class OperationType : uint8_t {
  Document = 0,  // changes the shared document; applied by the framework itself
  Effect = 1,    // an effect outside the document (importing a file, ...)
  View = 2,      // navigation of the window
};

struct EncodedAction {
  std::string name;                                   // e.g. "chat.action"
  nlohmann::json payload;                             // the action's JSON form
  OperationType operation_type = OperationType::Document;  // stamped from the action that built it
};

const char* operation_type_name(OperationType type);  // "document", "effect", "view"

}  // namespace kivo_actions
