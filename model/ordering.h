// The ordering rules of the chat records: rail, category and channel order, reactions, next order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/chat_records.h"

namespace chat {

// Stable sort by `order`; callers pass records in the document's key order, so ties fall in id order.
template <typename Record>
void sort_by_order(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.order < b.order; });
}

void sort_people(std::vector<Person>& people);  // ascending byte order of id

// One group per distinct emoji (users in stored order), most users first, ties by emoji bytes.
std::vector<ReactionGroup> group_reactions(const std::vector<std::pair<std::string, std::string>>& emoji_user_pairs);

// One more than the largest order among the siblings, 0 without siblings (saturates at the maximum).
uint32_t next_category_order(const std::vector<Category>& categories, const std::string& workspace);
uint32_t next_channel_order(const std::vector<Channel>& channels, const std::string& workspace,
                            const std::string& category);

// Top-level messages minus the read count, never below 0 (a negative stored count reads as 0).
uint64_t unread_count(const std::vector<Message>& channel_messages, int64_t read_count);
uint64_t top_level_count(const std::vector<Message>& channel_messages);

}  // namespace chat
