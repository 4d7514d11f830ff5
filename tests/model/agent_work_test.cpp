#include <gtest/gtest.h>

#include "model/agent_work_json.h"
#include "model/agent_work_store.h"
#include "model/doc_writers.h"
#include "model/hydration.h"
#include "tests/model/doc_fixture.h"

namespace chat {
namespace {

using namespace action;
using testing::TestDoc;

AgentStep step(std::string id, uint64_t seq, std::string label, AgentStepOutcome outcome) {
  return AgentStep{std::move(id), seq, "chat.channel:c_a", std::move(label), std::move(outcome)};
}

TestDoc with_message(const std::string& text = "") {
  TestDoc t;
  t.write([&](DocWrite w) {
    write_channel(w, "c_a", "ws", "", "a", "", ChannelKind::Text, 0);
    insert_message(w, "c_a", Message{.id = "m_1", .text = text});
  });
  return t;
}

std::optional<AgentWork> stored(TestDoc& t) { return read_work(t.doc, *find_message(t.doc, "c_a", "m_1")); }

// Writes an older stored form by hand and reads it back.
template <typename F>
std::optional<AgentWork> legacy(F&& build) {
  TestDoc t = with_message();
  t.write([&](DocWrite w) { build(w, *find_message(w.doc, "c_a", "m_1")); });
  return stored(t);
}

TEST(AgentWork, RepeatedSetAgentWorkWritesNothing) {
  TestDoc t = with_message();
  AgentWork work{work_state::Doing{"a", "b"}, 5, AgentReasoning{AgentRoute::Floor, "w"},
                 {step("s1", 1, "one", step_outcome::Asked{})}};
  EXPECT_TRUE(t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt}));
  EXPECT_FALSE(t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt}));
  EXPECT_EQ(stored(t), work);
  EXPECT_FALSE(t.apply(SetAgentWork{"c_a", "m_missing", work, std::nullopt}));
}

TEST(AgentWork, KnownStepsKeepTheirLabelAndEmptyIdsAreNotStored) {
  TestDoc t = with_message();
  AgentWork work{work_state::Taken{}, 1, std::nullopt, {step("s1", 1, "first", step_outcome::Asked{}), step("", 2, "x", step_outcome::Asked{})}};
  t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt});
  work.trace = {step("s1", 1, "renamed", step_outcome::Applied{})};
  t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt});
  auto got = stored(t);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->trace, (std::vector<AgentStep>{step("s1", 1, "first", step_outcome::Applied{})}));
}

TEST(AgentWork, StateOrSinceChangeRewritesTheTransition) {
  TestDoc t = with_message();
  AgentWork work{work_state::Taken{}, 1, std::nullopt, {}};
  t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt});
  work.state = work_state::Done{"ok"};
  EXPECT_TRUE(t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt}));
  EXPECT_EQ(stored(t), work);
  work.since = 9;
  EXPECT_TRUE(t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt}));
  EXPECT_EQ(stored(t), work);
}

TEST(AgentWork, StepsSortBySequenceThenId) {
  TestDoc t = with_message();
  AgentWork work{work_state::Taken{}, 1, std::nullopt,
                 {step("b", 2, "b", step_outcome::Asked{}), step("z", 1, "z", step_outcome::Asked{}),
                  step("a", 1, "a", step_outcome::Asked{})}};
  t.apply(SetAgentWork{"c_a", "m_1", work, std::nullopt});
  std::vector<std::string> ids;
  auto got = stored(t);
  for (const auto& s : got->trace) ids.push_back(s.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"a", "z", "b"}));
}

TEST(AgentWork, SayFillsOnlyAnEmptyText) {
  AgentWork work{work_state::Taken{}, 1, std::nullopt, {}};
  TestDoc empty = with_message("");
  empty.apply(SetAgentWork{"c_a", "m_1", work, "On it"});
  EXPECT_EQ(load_messages(empty.doc, "c_a")[0].text, "On it");
  TestDoc full = with_message("hello");
  full.apply(SetAgentWork{"c_a", "m_1", work, "On it"});
  EXPECT_EQ(load_messages(full.doc, "c_a")[0].text, "hello");
}

TEST(AgentWork, OlderStoredForms) {
  // The whole work as one JSON string.
  AgentWork whole{work_state::Waiting{"mail"}, 3, std::nullopt, {step("s", 0, "l", step_outcome::NoChange{})}};
  EXPECT_EQ(legacy([&](DocWrite w, ObjId m) { put_str(w, m, "work", to_json(whole).dump()); }), whole);
  EXPECT_EQ(legacy([](DocWrite w, ObjId m) { put_str(w, m, "work", "{broken"); }), std::nullopt);
  EXPECT_EQ(legacy([](DocWrite w, ObjId m) { put_int(w, m, "work", 4); }), std::nullopt);

  // A "state" map with "kind", a reasoning map and bare outcome names under 8-digit keys.
  auto old = legacy([](DocWrite w, ObjId m) {
    ObjId work = ensure_map(w, m, "work");
    ObjId state = ensure_map(w, work, "state");
    put_str(w, state, "kind", "doing");
    put_str(w, state, "did", "looked");
    put_int(w, work, "since", 12);
    ObjId reasoning = ensure_map(w, work, "reasoning");
    put_bool(w, reasoning, "present", true);
    put_str(w, reasoning, "route", "floor");
    ObjId trace = ensure_map(w, work, "trace");
    ObjId s1 = ensure_map(w, trace, "00000001");
    put_bool(w, s1, "present", true);
    put_str(w, s1, "outcome", "asked");
    put_int(w, s1, "sequence", -4);
    ObjId s2 = ensure_map(w, trace, "00000002");
    put_bool(w, s2, "present", true);
    put_str(w, s2, "outcome", "refused");
    put_str(w, s2, "why", "no access");
    put_int(w, s2, "sequence", 1);
    ObjId s3 = ensure_map(w, trace, "00000003");
    put_bool(w, s3, "present", true);
    put_str(w, s3, "outcome", "exploded");
    ObjId s4 = ensure_map(w, trace, "00000004");
    put_bool(w, s4, "present", false);
    put_str(w, s4, "outcome", "asked");
  });
  AgentWork expected{work_state::Doing{"looked", ""}, 12, AgentReasoning{AgentRoute::Floor, ""},
                     {AgentStep{"legacy_step_00000001", 0, "", "", step_outcome::Asked{}},
                      AgentStep{"legacy_step_00000002", 1, "", "", step_outcome::Refused{"no access"}}}};
  EXPECT_EQ(old, expected);

  EXPECT_EQ(legacy([](DocWrite w, ObjId m) { put_str(w, ensure_map(w, ensure_map(w, m, "work"), "state"), "kind", "asleep"); }),
            std::nullopt);
  EXPECT_EQ(legacy([](DocWrite w, ObjId m) { put_int(w, ensure_map(w, m, "work"), "since", 1); }), std::nullopt);
}

TEST(AgentWork, WritingHidesStepsOfTheOlderForm) {
  TestDoc t = with_message();
  t.write([](DocWrite w) {
    ObjId work = ensure_map(w, *find_message(w.doc, "c_a", "m_1"), "work");
    put_str(w, ensure_map(w, work, "state"), "kind", "taken");
    ObjId s = ensure_map(w, ensure_map(w, work, "trace"), "00000001");
    put_bool(w, s, "present", true);
    put_str(w, s, "outcome", "asked");
  });
  ASSERT_EQ(stored(t)->trace.at(0).id, "legacy_step_00000001");
  AgentWork next{work_state::Taken{}, 0, std::nullopt, {step("new", 1, "n", step_outcome::Applied{})}};
  EXPECT_TRUE(t.apply(SetAgentWork{"c_a", "m_1", next, std::nullopt}));
  EXPECT_EQ(stored(t), next);
  EXPECT_FALSE(t.apply(SetAgentWork{"c_a", "m_1", next, std::nullopt}));
}

}  // namespace
}  // namespace chat
