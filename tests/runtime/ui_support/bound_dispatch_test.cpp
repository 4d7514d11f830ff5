#include "runtime/ui/bound_dispatch.h"

#include <functional>

#include <gtest/gtest.h>

#include "runtime/actions/action_transport.h"
#include "runtime/actions/typed_action_registry.h"
#include "tests/runtime/ui_support/memory_action_document.h"

namespace kivo_ui::bound_dispatch {
namespace {

using kivo_actions::ActionContext;
using kivo_actions::ActionError;
using kivo_actions::ActionResult;
using kivo_actions::EncodedAction;
using kivo_test::MemoryActionDocument;

struct SetValue {
  std::string key, value;
  bool reject_after_write = false;
};

// "test.set" writes {"key","value"}; "test.reject" writes and then refuses (to be rolled back).
kivo_actions::TypedActionRegistry make_registry() {
  kivo_actions::TypedActionRegistry registry;
  auto decoder = [](bool reject) {
    return [reject](const nlohmann::json& j) -> ActionResult<std::unique_ptr<kivo_actions::TypedAction>> {
      if (!j.is_object() || !j.contains("key") || !j["key"].is_string() || !j.contains("value") ||
          !j["value"].is_string())
        return ActionError{ActionError::Kind::BadPayload, "expected {\"key\", \"value\"}"};
      SetValue action{j["key"], j["value"], reject};
      return std::unique_ptr<kivo_actions::TypedAction>(new kivo_actions::TypedActionOf<SetValue>(
          action, [](const SetValue& a, kivo_actions::ActionDocument& doc) -> ActionResult<bool> {
            static_cast<MemoryActionDocument&>(doc).set(a.key, a.value);
            if (a.reject_after_write) return ActionError{ActionError::Kind::Rejected, "value refused"};
            return true;
          }));
    };
  };
  registry.register_typed("test.set", decoder(false));
  registry.register_typed("test.reject", decoder(true));
  return registry;
}

class FailingTransport final : public kivo_actions::ActionTransport {
public:
  ActionResult<bool> replicate(kivo_actions::ActionDocument&, const std::vector<std::string>&) override {
    return ActionError{ActionError::Kind::Transport, "peer gone"};
  }
};

EncodedAction set_action(const std::string& key, const std::string& value) {
  return {"test.set", {{"key", key}, {"value", value}}};
}

struct Fixture {
  kivo_actions::TypedActionRegistry registry = make_registry();
  MemoryActionDocument doc;
  kivo_actions::LocalTransport local;
  ActionHost host{ActionContext{"org.kivo.Chat", "Chat", "", "", "", "", ""}, 3};
  std::vector<std::string> log;

  Fixture() {
    host.set_log([this](std::string_view line) { log.emplace_back(line); });
  }
};

TEST(BoundDispatch, SuccessIsAppliedAndReportedWithTheFilledContext) {
  Fixture f;
  const auto heads_before = f.doc.heads();
  ActionContext context{"", "", "Set value", "Set greeting", "test.value", "test.value:greeting", "greeting"};
  auto result = f.host.dispatch_typed(f.registry, f.doc, f.local, set_action("greeting", "hello"), context);
  ASSERT_TRUE(result.ok()) << result.error().display();
  EXPECT_EQ(f.doc.values.at("greeting"), "hello");
  EXPECT_EQ(f.doc.commit_messages, (std::vector<std::string>{"Set greeting"}));  // the context's label
  EXPECT_TRUE(f.log.empty());

  auto reported = f.host.take_reported();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].action.name, "test.set");
  ASSERT_TRUE(reported[0].context.has_value());
  EXPECT_EQ(reported[0].context->app_id, "org.kivo.Chat");
  EXPECT_EQ(reported[0].context->app_name, "Chat");
  EXPECT_EQ(reported[0].context->label, "Set greeting");
  EXPECT_EQ(reported[0].heads_before, heads_before);
  EXPECT_EQ(reported[0].heads_after, f.doc.heads());
  EXPECT_TRUE(reported[0].changed);
  EXPECT_TRUE(f.host.take_reported().empty());
}

TEST(BoundDispatch, WithoutContextAndWithoutEffect) {
  Fixture f;
  ASSERT_TRUE(f.host.dispatch_typed(f.registry, f.doc, f.local, set_action("k", "v")).ok());
  EXPECT_EQ(f.doc.commit_messages, (std::vector<std::string>{"test.set"}));  // the action's name
  // The same value again writes nothing: still a success, reported as unchanged.
  ASSERT_TRUE(f.host.dispatch_typed(f.registry, f.doc, f.local, set_action("k", "v")).ok());
  auto reported = f.host.take_reported();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_FALSE(reported[0].context.has_value());
  EXPECT_TRUE(reported[0].changed);
  EXPECT_FALSE(reported[1].changed);
  EXPECT_EQ(reported[1].heads_before, reported[1].heads_after);
  EXPECT_EQ(f.doc.commit_messages.size(), 1u);
}

TEST(BoundDispatch, FailuresAreLoggedReturnedAndNotReported) {
  struct Case {
    const char* name;
    EncodedAction action;
    std::function<void(Fixture&)> setup;
    bool use_failing_transport;
    std::string error;
    bool document_changed;  // the transport fails only after the commit
  };
  EncodedAction view_action = set_action("k", "v");
  view_action.operation_type = kivo_actions::OperationType::View;
  const Case cases[] = {
      {"unknown action", {"test.nope", nlohmann::json::object()}, nullptr, false, "unknown action \"test.nope\"",
       false},
      {"bad payload", {"test.set", {{"key", 3}}}, nullptr, false, "expected {\"key\", \"value\"}", false},
      {"refused after writing", {"test.reject", {{"key", "k"}, {"value", "v"}}}, nullptr, false, "value refused",
       false},
      {"commit fails", set_action("k", "v"), [](Fixture& f) { f.doc.fail_commit = true; }, false, "disk full", false},
      {"view action", view_action, nullptr, false, "\"test.set\" is a view action, not a document action", false},
      {"transport fails", set_action("k", "v"), nullptr, true, "peer gone", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    if (c.setup) c.setup(f);
    FailingTransport failing;
    kivo_actions::ActionTransport& transport =
        c.use_failing_transport ? static_cast<kivo_actions::ActionTransport&>(failing) : f.local;
    auto result = f.host.dispatch_typed(f.registry, f.doc, transport, c.action, ActionContext{});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().display(), c.error);
    EXPECT_EQ(f.log, (std::vector<std::string>{"action dispatch failed: " + c.error}));
    EXPECT_EQ(f.host.failures(), 1u);
    EXPECT_EQ(f.host.reported_count(), 0u);
    EXPECT_EQ(f.doc.values.count("k") == 1, c.document_changed);
  }
}

TEST(BoundDispatch, RecordIsBoundedAndKeepsTheNewest) {
  Fixture f;  // capacity 3
  for (int i = 1; i <= 5; ++i)
    ASSERT_TRUE(f.host.dispatch_typed(f.registry, f.doc, f.local, set_action("k", std::to_string(i))).ok());
  EXPECT_EQ(f.host.dropped(), 2u);
  auto reported = f.host.take_reported();
  ASSERT_EQ(reported.size(), 3u);
  EXPECT_EQ(reported[0].action.payload["value"], "3");
  EXPECT_EQ(reported[2].action.payload["value"], "5");
}

TEST(BoundDispatch, NotedHeadsBelongToOneActionOnly) {
  Fixture f;
  f.host.typed_action_before(f.doc);
  const auto noted = f.doc.heads();
  // The caller ran the action itself; the document moved on meanwhile.
  f.doc.begin_transaction();
  f.doc.set("k", "v");
  ASSERT_TRUE(f.doc.commit_transaction("elsewhere", 0).ok());
  kivo_actions::DispatchOutcome outcome{{"ignored"}, f.doc.heads(), true};
  f.host.report_typed_action(set_action("k", "v"), std::nullopt, outcome);
  // A failure forgets the note too: the next report uses the outcome's own heads.
  f.host.typed_action_before(f.doc);
  f.host.report_dispatch_failure(ActionError{ActionError::Kind::Rejected, "no"});
  f.host.report_typed_action(set_action("k", "w"), std::nullopt, outcome);

  auto reported = f.host.take_reported();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[0].heads_before, noted);
  EXPECT_EQ(reported[1].heads_before, (std::vector<std::string>{"ignored"}));
  EXPECT_EQ(f.log, (std::vector<std::string>{"action dispatch failed: no"}));
}

}  // namespace
}  // namespace kivo_ui::bound_dispatch
