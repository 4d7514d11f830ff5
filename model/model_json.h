// The hydrated records as JSON objects with their field names (optional values as null, reactions
// as groups, attachments as {"kind", fields...}), for tools and diagnostics.
#pragma once

#include <nlohmann/json.hpp>

#include "model/chat_records.h"
#include "runtime/doc/document.h"

namespace chat {

nlohmann::ordered_json record_json(const Workspace& w);
nlohmann::ordered_json record_json(const Category& c);
nlohmann::ordered_json record_json(const Channel& c);
nlohmann::ordered_json record_json(const Person& p);
nlohmann::ordered_json record_json(const Message& m);
nlohmann::ordered_json record_json(const CallParticipant& p);

// The whole hydrated model: workspaces, categories, channels, people, messages per channel,
// participants per voice channel, read counts and drafts.
nlohmann::ordered_json model_json(const kivo::doc::Document& doc);

}  // namespace chat
