#include <gtest/gtest.h>

#include "memory_document.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/executor.h"
#include "runtime/actions/typed_action_registry.h"

namespace kivo_actions {
namespace {

using testing::MemoryDocument;

struct SetValue {
  std::string key, value;
};

// "test.set" {"key":..., "value":...}; a key "boom" makes the action itself fail.
TypedActionRegistry make_registry() {
  TypedActionRegistry registry;
  registry.register_typed("test.set", [](const nlohmann::json& j) -> ActionResult<std::unique_ptr<TypedAction>> {
    if (!j.is_object() || !j.contains("key") || !j["key"].is_string() || !j.contains("value") || !j["value"].is_string())
      return ActionError{ActionError::Kind::BadPayload, "expected {\"key\",\"value\"}"};
    SetValue action{j["key"], j["value"]};
    return std::unique_ptr<TypedAction>(std::make_unique<TypedActionOf<SetValue>>(
        action, [](const SetValue& a, ActionDocument& doc) -> ActionResult<bool> {
          auto& mem = dynamic_cast<MemoryDocument&>(doc);
          mem.write(a.key, a.value);
          if (a.key == "boom") return ActionError{ActionError::Kind::Rejected, "boom refused"};
          return true;
        }));
  });
  return registry;
}

EncodedAction set(std::string key, std::string value) {
  return EncodedAction{"test.set", {{"key", key}, {"value", value}}, OperationType::Document};
}

class RecordingTransport final : public ActionTransport {
public:
  int calls = 0;
  bool fail = false;
  ActionResult<bool> replicate(ActionDocument&, const std::vector<std::string>&) override {
    ++calls;
    if (fail) return ActionError{ActionError::Kind::Transport, "peer gone"};
    return true;
  }
};

TEST(Executor, AppliesOneChangePerActionAndReportsHeads) {
  auto registry = make_registry();
  MemoryDocument doc;
  RecordingTransport transport;
  ActionContext ctx{.label = "Set a value"};

  auto outcome = executor::dispatch_by_with_context(registry, doc, transport, set("a", "1"), ctx);
  ASSERT_TRUE(outcome.ok()) << outcome.error().message;
  EXPECT_TRUE(outcome.value().changed);
  EXPECT_TRUE(outcome.value().heads_before.empty());
  EXPECT_EQ(outcome.value().heads_after, doc.heads());
  EXPECT_EQ(doc.values["a"], "1");
  EXPECT_EQ(doc.messages, std::vector<std::string>{"Set a value"});
  EXPECT_EQ(transport.calls, 1);

  // The same action again writes nothing: no change, nothing replicated.
  outcome = executor::dispatch_by(registry, doc, transport, set("a", "1"));
  ASSERT_TRUE(outcome.ok());
  EXPECT_FALSE(outcome.value().changed);
  EXPECT_EQ(doc.messages.size(), 1u);
  EXPECT_EQ(transport.calls, 1);
}

TEST(Executor, RefusalsLeaveTheDocumentUntouched) {
  auto registry = make_registry();
  MemoryDocument doc;
  LocalTransport transport;

  struct Case {
    EncodedAction action;
    ActionError::Kind kind;
  } cases[] = {
      {EncodedAction{"test.unknown", nlohmann::json::object()}, ActionError::Kind::UnknownAction},
      {EncodedAction{"test.set", "just a string"}, ActionError::Kind::BadPayload},
      {EncodedAction{"test.set", {{"key", 1}}}, ActionError::Kind::BadPayload},
      {set("boom", "x"), ActionError::Kind::Rejected},
      {EncodedAction{"test.set", {{"key", "v"}, {"value", "w"}}, OperationType::View}, ActionError::Kind::Rejected},
  };
  for (const auto& c : cases) {
    auto outcome = executor::dispatch_by(registry, doc, transport, c.action);
    ASSERT_FALSE(outcome.ok()) << c.action.payload.dump();
    EXPECT_EQ(outcome.error().kind, c.kind) << outcome.error().message;
    EXPECT_FALSE(outcome.error().display().empty());
    EXPECT_TRUE(doc.values.empty());
    EXPECT_FALSE(doc.in_transaction);
  }
}

TEST(Executor, CommitAndTransportFailuresAreErrors) {
  auto registry = make_registry();
  MemoryDocument doc;
  RecordingTransport transport;
  doc.fail_commit = true;
  auto outcome = executor::dispatch_by(registry, doc, transport, set("a", "1"));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().message, "disk full");
  EXPECT_TRUE(doc.values.empty());

  doc.fail_commit = false;
  transport.fail = true;
  outcome = executor::dispatch_by(registry, doc, transport, set("a", "1"));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().kind, ActionError::Kind::Transport);
}

TEST(Registry, ReRegisteringReplacesTheDecoder) {
  TypedActionRegistry registry = make_registry();
  registry.register_typed("test.set", [](const nlohmann::json&) -> ActionResult<std::unique_ptr<TypedAction>> {
    return ActionError{ActionError::Kind::BadPayload, "replaced"};
  });
  auto decoded = registry.decode("test.set", {{"key", "a"}, {"value", "b"}});
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().message, "replaced");
  EXPECT_TRUE(registry.contains("test.set"));
  EXPECT_FALSE(registry.contains("chat.action"));
}

}  // namespace
}  // namespace kivo_actions
