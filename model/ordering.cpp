#include "model/ordering.h"

#include <limits>
#include <map>

namespace chat {

void sort_people(std::vector<Person>& people) {
  std::stable_sort(people.begin(), people.end(), [](const Person& a, const Person& b) { return a.id < b.id; });
}

std::vector<ReactionGroup> group_reactions(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<ReactionGroup> groups;
  std::map<std::string, size_t> index;
  for (const auto& [emoji, user] : pairs) {
    auto [it, fresh] = index.try_emplace(emoji, groups.size());
    if (fresh) groups.push_back(ReactionGroup{emoji, {}});
    auto& users = groups[it->second].users;
    if (std::find(users.begin(), users.end(), user) == users.end()) users.push_back(user);
  }
  std::stable_sort(groups.begin(), groups.end(), [](const ReactionGroup& a, const ReactionGroup& b) {
    if (a.users.size() != b.users.size()) return a.users.size() > b.users.size();
    return a.emoji < b.emoji;
  });
  return groups;
}

namespace {
template <typename Range, typename Pred>
uint32_t next_order_of(const Range& records, Pred is_sibling) {
  bool any = false;
  uint32_t largest = 0;
  for (const auto& r : records) {
    if (!is_sibling(r)) continue;
    largest = any ? std::max(largest, r.order) : r.order;
    any = true;
  }
  if (!any) return 0;
  return largest == std::numeric_limits<uint32_t>::max() ? largest : largest + 1;
}
}  // namespace

uint32_t next_category_order(const std::vector<Category>& categories, const std::string& workspace) {
  return next_order_of(categories, [&](const Category& c) { return c.workspace == workspace; });
}

uint32_t next_channel_order(const std::vector<Channel>& channels, const std::string& workspace,
                            const std::string& category) {
  return next_order_of(channels,
                       [&](const Channel& c) { return c.workspace == workspace && c.category == category; });
}

uint64_t top_level_count(const std::vector<Message>& channel_messages) {
  return static_cast<uint64_t>(std::count_if(channel_messages.begin(), channel_messages.end(),
                                             [](const Message& m) { return m.is_top_level(); }));
}

uint64_t unread_count(const std::vector<Message>& channel_messages, int64_t read_count) {
  uint64_t total = top_level_count(channel_messages);
  uint64_t read = read_count < 0 ? 0 : static_cast<uint64_t>(read_count);
  return read >= total ? 0 : total - read;
}

}  // namespace chat
