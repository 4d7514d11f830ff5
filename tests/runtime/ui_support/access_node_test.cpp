#include "runtime/ui/access_node.h"

#include <set>

#include <gtest/gtest.h>

#include "runtime/ui/fnv.h"

namespace kivo_ui::a11y {
namespace {

TEST(AccessNode, IdsFollowTheKeyHashing) {
  // A text hashes as its bytes then 0xFF; a pair as both parts in order.
  uint64_t expected = fnv1a64_byte(0xFF, fnv1a64("chat.send"));
  EXPECT_EQ(node_id("chat.send"), expected);
  EXPECT_EQ(AccessNode::keyed("chat.send", Role::Button).id, expected);
  uint64_t pair = fnv1a64_byte(0xFF, fnv1a64("message", fnv1a64_byte(0xFF, fnv1a64("m_1"))));
  EXPECT_EQ(node_id("m_1", "message"), pair);
  EXPECT_EQ(AccessNode::keyed_pair("m_1", "message", Role::ListItem).id, pair);
  // The terminator keeps differently split pairs apart.
  EXPECT_NE(node_id("ab", "c"), node_id("a", "bc"));
  EXPECT_NE(node_id("m_1", "message"), node_id("m_1/message"));
}

TEST(AccessNode, RoleAndActionNamesAreDistinctAndParse) {
  std::set<std::string_view> roles;
  for (int r = 0; r <= static_cast<int>(Role::Tooltip); ++r) roles.insert(role_name(static_cast<Role>(r)));
  EXPECT_EQ(roles.size(), static_cast<size_t>(Role::Tooltip) + 1);
  EXPECT_EQ(roles.count("unknown"), 0u);
  for (int a = 0; a <= static_cast<int>(ActionKind::Dismiss); ++a) {
    auto kind = static_cast<ActionKind>(a);
    EXPECT_EQ(action_from_name(action_name(kind)), kind) << action_name(kind);
  }
  EXPECT_EQ(action_from_name("press"), std::nullopt);
  EXPECT_TRUE(is_activating(ActionKind::Activate));
  EXPECT_FALSE(is_activating(ActionKind::Focus));
  EXPECT_TRUE(changes_text(ActionKind::SetValue));
  EXPECT_TRUE(changes_text(ActionKind::ReplaceSelectedText));
  EXPECT_FALSE(changes_text(ActionKind::Activate));
}

TEST(AccessNode, KeyedNodesCarryTheirRolesActions) {
  auto button = AccessNode::keyed("chat.send", Role::Button, "Send message");
  EXPECT_TRUE(button.supports(ActionKind::Activate));
  EXPECT_FALSE(button.supports(ActionKind::SetValue));
  EXPECT_TRUE(button.focusable);
  auto field = AccessNode::keyed("chat.composer", Role::TextArea, "Message composer");
  EXPECT_TRUE(field.supports(ActionKind::SetValue));
  EXPECT_FALSE(field.supports(ActionKind::Activate));
  auto heading = AccessNode::keyed_pair("conversation-heading", "c_general", Role::Heading, "# general");
  EXPECT_TRUE(heading.actions.empty());
  EXPECT_FALSE(heading.focusable);
}

AccessNode sample_tree() {
  auto send = AccessNode::keyed("chat.send", Role::Button, "Send message");
  send.bounds = Rect{10, 20, 30, 40};
  send.focused = true;
  auto mute = AccessNode::keyed("chat.call-mute", Role::ToggleButton, "Mute microphone");
  mute.toggled = true;
  auto composer = AccessNode::keyed("chat.composer", Role::TextArea, "Message composer");
  composer.value = "hello";
  composer.selection = TextSelection{5, 5};
  auto message = AccessNode::keyed_pair("m_1", "message", Role::ListItem, "Ada: hi");
  auto list = AccessNode::keyed("message-list", Role::List, "Messages").with_children({message});
  AccessNode root = AccessNode::keyed("root", Role::Window, "Chat");
  root.description = "Channels in the current Kivo workspace";
  return std::move(root).with_children({send, mute, composer, list});
}

TEST(AccessNode, FindsNodesByKeyAndId) {
  AccessNode root = sample_tree();
  EXPECT_EQ(root.count(), 6u);
  ASSERT_NE(root.find("m_1/message"), nullptr);
  EXPECT_EQ(root.find("m_1/message")->label, "Ada: hi");
  EXPECT_EQ(root.find(node_id("chat.composer"))->value, "hello");
  EXPECT_EQ(root.find("chat.nothing"), nullptr);
  EXPECT_EQ(root.find(uint64_t{42}), nullptr);
}

TEST(AccessNode, JsonFormCarriesEveryField) {
  nlohmann::json j = to_json(sample_tree());
  EXPECT_EQ(j["role"], "window");
  EXPECT_EQ(j["label"], "Chat");
  EXPECT_EQ(j["bounds"], nullptr);
  EXPECT_EQ(j["toggled"], nullptr);
  ASSERT_EQ(j["children"].size(), 4u);
  const auto& send = j["children"][0];
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(node_id("chat.send")));
  EXPECT_EQ(send["id"], hex);
  EXPECT_EQ(send["key"], "chat.send");
  EXPECT_EQ(send["bounds"], (nlohmann::json{{"x", 10.0}, {"y", 20.0}, {"w", 30.0}, {"h", 40.0}}));
  EXPECT_EQ(send["focused"], true);
  EXPECT_EQ(send["actions"], (nlohmann::json{"activate", "focus", "scroll-into-view"}));
  EXPECT_EQ(j["children"][1]["toggled"], true);
  EXPECT_EQ(j["children"][2]["selection"], (nlohmann::json{{"anchor", 5}, {"focus", 5}}));
  EXPECT_EQ(j["children"][3]["children"][0]["label"], "Ada: hi");
}

TEST(AccessNode, JsonFormSurvivesInvalidUtf8) {
  struct Case {
    std::string raw;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9 \xF0\x9F\x8E\x89", "caf\xC3\xA9 \xF0\x9F\x8E\x89"},  // valid multi-byte kept
      {"bad\xFF", "bad\xEF\xBF\xBD"},
      {"cut\xE2\x82", "cut\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong\xC0\xAF", "overlong\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate\xED\xA0\x80", "surrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    AccessNode node = AccessNode::keyed("chat.attach-pick:" + c.raw, Role::Button, "Attach " + c.raw);
    nlohmann::json j = to_json(node);
    std::string dumped;
    ASSERT_NO_THROW(dumped = j.dump()) << c.expected;
    EXPECT_EQ(j["label"], "Attach " + c.expected);
    EXPECT_EQ(j["key"], "chat.attach-pick:" + c.expected);
  }
}

}  // namespace
}  // namespace kivo_ui::a11y
