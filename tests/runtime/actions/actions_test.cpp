#include <gtest/gtest.h>

#include "runtime/actions/action_context.h"
#include "runtime/actions/resource.h"

namespace kivo_actions {
namespace {

TEST(Context, HumanizeIdentifier) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"SendMessage", "Send message"}, {"MarkRead", "Mark read"}, {"set_call_state", "Set call state"},
      {"JoinCall", "Join call"},       {"URLPath", "Url path"},   {"", ""},
      {"Update", "Update"},            {"kebab-case-id", "Kebab case id"},
  };
  for (const auto& c : cases) EXPECT_EQ(context::humanize_identifier(c.in), c.out) << c.in;
}

TEST(Context, EnrichedByFillsOnlyEmptyFields) {
  ActionContext mine{.verb = "Send message", .label = "Send message", .resource_kind = "chat.message"};
  ActionContext host{.app_id = "chat.kivo.ui", .app_name = "Chat", .verb = "Other", .resource_label = "Message"};
  ActionContext merged = mine.enriched_by(host);
  EXPECT_EQ(merged.app_id, "chat.kivo.ui");
  EXPECT_EQ(merged.app_name, "Chat");
  EXPECT_EQ(merged.verb, "Send message");
  EXPECT_EQ(merged.resource_kind, "chat.message");
  EXPECT_EQ(merged.resource_label, "Message");
}

TEST(Spec, InvokeStampsOperationTypeAndRisk) {
  ActionSpec spec{.id = "attach", .label = "Attach file", .param = ActionParam{"value", "Path", "/tmp/a.png"}};
  spec.operation_type = OperationType::Effect;
  spec.encode = [](const ActionArgs& args) {
    return EncodedAction{"chat.operation", {{"path", args.text("value").value_or("")}}};
  };
  auto encoded = resource::invoke(spec, ActionArgs::with_text("value", "/tmp/x"));
  EXPECT_EQ(encoded.operation_type, OperationType::Effect);
  EXPECT_EQ(encoded.payload["path"], "/tmp/x");
  EXPECT_EQ(spec.risk_for({}), RiskLevel::Safe);
  EXPECT_EQ(spec.destructive().risk_for({}), RiskLevel::Destructive);
  EXPECT_FALSE(ActionArgs{}.text("value").has_value());
}

TEST(Resource, BuildsTreeAndFindsActions) {
  Resource channel = Resource{"chat.channel:c_1", "chat.channel", "#general"}
                         .with_action(ActionSpec{.id = "open", .label = "Open"})
                         .with_child(Resource{"chat.message:m_1", "chat.message", "Message"});
  ASSERT_NE(channel.find_action("open"), nullptr);
  EXPECT_EQ(channel.find_action("post"), nullptr);
  ASSERT_EQ(channel.children.size(), 1u);
}

TEST(Resource, ActionAddressRoundTrip) {
  ActionAddress address{"chat.channel:c_general", "open"};
  auto decoded = ActionAddress::decode(address.encode());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, address);
  EXPECT_FALSE(ActionAddress::decode("no-action"));
  EXPECT_FALSE(ActionAddress::decode("#open"));
  EXPECT_FALSE(ActionAddress::decode("chat.x:1#"));
}

TEST(Resource, ResourceRefJson) {
  ResourceRef ref{"chat.channel", "c_1", "#general", ResourceSpan{3, 8}};
  auto back = resource_ref_from_json(to_json(ref));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, ref);
  ResourceRef bare{"chat.call", "c_2", "Lounge", std::nullopt};
  EXPECT_EQ(to_json(bare)["span"], nullptr);
  EXPECT_EQ(*resource_ref_from_json(to_json(bare)), bare);
  EXPECT_FALSE(resource_ref_from_json("text"));
  EXPECT_FALSE(resource_ref_from_json({{"kind", 5}}));
  EXPECT_FALSE(resource_ref_from_json({{"kind", "k"}, {"id", "i"}, {"label", "l"}, {"span", {{"start", -1}, {"len", 2}}}}));
}

}  // namespace
}  // namespace kivo_actions
