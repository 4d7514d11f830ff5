#include <gtest/gtest.h>

#include "model/chat_action_json.h"
#include "model/chat_action_registration.h"
#include "model/doc_action_target.h"
#include "model/hydration.h"
#include "model/seeds.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/executor.h"

namespace chat {
namespace {

using namespace action;

struct Fixture {
  kivo::doc::Document doc;
  DocActionTarget target{doc};
  kivo_actions::TypedActionRegistry registry;
  kivo_actions::LocalTransport transport;
  Fixture() {
    register_chat_action(registry);
    auto tx = doc.begin();
    seed_demo(DocWrite{doc, tx});
    tx.commit("seed");
  }
  kivo_actions::ActionResult<kivo_actions::DispatchOutcome> dispatch(const nlohmann::json& payload) {
    return kivo_actions::executor::dispatch_by(registry, target, transport,
                                               kivo_actions::EncodedAction{"chat.action", payload});
  }
};

TEST(ChatActionRegistration, DispatchAppliesOneChangeAndRepeatsMakeNone) {
  Fixture f;
  auto encoded = encode_chat_action_as_encoded(MarkRead{"c_crit", "u_me", 8});
  kivo_actions::ActionContext context;
  context.label = "Mark channel read";
  auto first = kivo_actions::executor::dispatch_by_with_context(f.registry, f.target, f.transport, encoded, context);
  ASSERT_TRUE(first.ok()) << first.error().display();
  EXPECT_TRUE(first.value().changed);
  EXPECT_EQ(f.doc.changes().back().message, "Mark channel read");
  EXPECT_EQ(unread_count(f.doc, "c_crit", "u_me"), 0u);
  size_t changes = f.doc.changes().size();
  auto again = f.dispatch(encoded.payload);
  ASSERT_TRUE(again.ok());
  EXPECT_FALSE(again.value().changed);
  EXPECT_EQ(f.doc.changes().size(), changes);
}

TEST(ChatActionRegistration, BadPayloadIsRefusedWithTheDecoderText) {
  Fixture f;
  auto heads = f.doc.heads();
  auto refused = f.dispatch(nlohmann::json::parse(R"({"MarkRead":{"channel":"c_general","user":"u_me"}})"));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, kivo_actions::ActionError::Kind::BadPayload);
  EXPECT_EQ(refused.error().display(), "missing field \"count\" in MarkRead");
  EXPECT_EQ(f.doc.heads(), heads);
}

TEST(ChatActionRegistration, SendThroughTheExecutorUsesTheIndex) {
  Fixture f;
  for (int i = 0; i < 5; ++i) {
    auto sent = f.dispatch(
        to_json(ChatAction{SendMessage{"c_general", "m_n" + std::to_string(i), "u_me", 1, "x", {}, {}, {}, {}}}));
    ASSERT_TRUE(sent.ok());
    EXPECT_TRUE(sent.value().changed);
  }
  auto dup = f.dispatch(to_json(ChatAction{SendMessage{"c_crit", "m_n3", "u_me", 1, "x", {}, {}, {}, {}}}));
  ASSERT_TRUE(dup.ok());
  EXPECT_FALSE(dup.value().changed);
  EXPECT_EQ(f.target.message_index().rebuilds(), 1u);  // built once, then kept up to date
  EXPECT_EQ(load_messages(f.doc, "c_general").size(), 6u);
}

}  // namespace
}  // namespace chat
