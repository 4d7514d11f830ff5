// Hydration: the workspace document read into fresh chat records. Never fails and never writes:
// missing values read as empty, 0 or false, and entries of the wrong kind are skipped.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/chat_records.h"
#include "runtime/doc/document.h"

namespace chat {

std::vector<Workspace> list_workspaces(const kivo::doc::Document& doc);  // by order, ties by id
std::vector<Category> list_categories(const kivo::doc::Document& doc);   // by order, ties by id
std::vector<Channel> list_channels(const kivo::doc::Document& doc);      // by order, ties by id
std::vector<Person> list_people(const kivo::doc::Document& doc);         // by id

// The messages of one channel in list order; only that channel's list is read.
std::vector<Message> load_messages(const kivo::doc::Document& doc, std::string_view channel);
std::vector<std::string> message_channels(const kivo::doc::Document& doc);  // keys of "messages" holding lists

uint64_t top_level_count(const kivo::doc::Document& doc, std::string_view channel);
int64_t read_count(const kivo::doc::Document& doc, std::string_view channel, std::string_view user);
uint64_t unread_count(const kivo::doc::Document& doc, std::string_view channel, std::string_view user);
ReadCounts read_counts(const kivo::doc::Document& doc);  // every stored (user, channel) count

// Talking participants first, then by user id.
std::vector<CallParticipant> call_participants(const kivo::doc::Document& doc, std::string_view channel);
std::vector<std::string> voice_channels(const kivo::doc::Document& doc);  // keys of "voice" holding maps

}  // namespace chat
