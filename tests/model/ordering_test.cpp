#include <gtest/gtest.h>

#include <limits>

#include "model/ordering.h"

namespace chat {
namespace {

TEST(Ordering, ChannelsWithEqualOrderKeepIdOrder) {
  // Records arrive in the document's key order (ascending id).
  std::vector<Channel> channels = {{.id = "c_a", .order = 2}, {.id = "c_b", .order = 1}, {.id = "c_c", .order = 1}};
  sort_by_order(channels);
  EXPECT_EQ(channels[0].id, "c_b");
  EXPECT_EQ(channels[1].id, "c_c");
  EXPECT_EQ(channels[2].id, "c_a");
}

TEST(Ordering, OrdersCompareAsUnsigned) {
  std::vector<Workspace> ws = {{.id = "ws_a", .order = std::numeric_limits<uint32_t>::max()}, {.id = "ws_b", .order = 0}};
  sort_by_order(ws);
  EXPECT_EQ(ws[0].id, "ws_b");
}

TEST(Ordering, ReactionGroupsByCountThenEmojiBytes) {
  auto groups = group_reactions({{"👍", "u_a"}, {"🎉", "u_a"}, {"👍", "u_b"}});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0], (ReactionGroup{"👍", {"u_a", "u_b"}}));
  EXPECT_EQ(groups[1], (ReactionGroup{"🎉", {"u_a"}}));

  // One user each: the smaller emoji bytes first ("🎉" F0 9F 8E 89 < "👍" F0 9F 91 8D).
  groups = group_reactions({{"👍", "u_a"}, {"🎉", "u_b"}});
  EXPECT_EQ(groups[0].emoji, "🎉");
  EXPECT_EQ(groups[1].emoji, "👍");
}

TEST(Ordering, ReactionUsersKeepStoredOrderWithoutDuplicates) {
  auto groups = group_reactions({{"❤️", "u_z"}, {"❤️", "u_a"}, {"❤️", "u_z"}});
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].users, (std::vector<std::string>{"u_z", "u_a"}));
}

TEST(Ordering, NextOrderCountsOnlySiblings) {
  std::vector<Channel> channels = {
      {.id = "c_1", .workspace = "ws_a", .category = "cat_x", .order = 4},
      {.id = "c_2", .workspace = "ws_a", .category = "", .order = 9},
      {.id = "c_3", .workspace = "ws_b", .category = "cat_x", .order = 20},
  };
  EXPECT_EQ(next_channel_order(channels, "ws_a", "cat_x"), 5u);
  EXPECT_EQ(next_channel_order(channels, "ws_a", ""), 10u);
  EXPECT_EQ(next_channel_order(channels, "ws_a", "cat_none"), 0u);

  std::vector<Category> categories = {{.id = "cat_1", .workspace = "ws_a", .order = std::numeric_limits<uint32_t>::max()}};
  EXPECT_EQ(next_category_order(categories, "ws_a"), std::numeric_limits<uint32_t>::max());
  EXPECT_EQ(next_category_order(categories, "ws_b"), 0u);
}

TEST(Ordering, UnreadCountsTopLevelMessagesOnly) {
  std::vector<Message> messages(4);
  messages[1].parent = "m_0";  // a reply
  messages[2].parent = "";     // an empty parent is top-level
  EXPECT_EQ(top_level_count(messages), 3u);
  EXPECT_EQ(unread_count(messages, 1), 2u);
  EXPECT_EQ(unread_count(messages, 10), 0u);
  EXPECT_EQ(unread_count(messages, -5), 3u);
}

}  // namespace
}  // namespace chat
