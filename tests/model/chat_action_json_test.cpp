#include <gtest/gtest.h>

#include "model/chat_action_json.h"

namespace chat {
namespace {

using namespace action;

AgentWork sample_work() {
  return AgentWork{work_state::Doing{"read", "the spec"}, 42, AgentReasoning{AgentRoute::Model, "asked"},
                   {AgentStep{"s1", 1, "chat.channel:c_a", "Read", step_outcome::Refused{"no"}},
                    AgentStep{"s2", 2, "chat.message:m_1", "Post", step_outcome::NoChange{}}}};
}

// One of every variant, with the optional parts filled in where there are any.
std::vector<ChatAction> one_of_each() {
  return {
      SendMessage{"c_a", "m_1", "u_a", -5, "hi", "m_0", attachment::Video{"v", std::string(64, 'f'), 9, 1, 2},
                  {Mention{"u_b", 0, 3, true}},
                  kivo_actions::ResourceRef{"chat.channel", "c_a", "#a", kivo_actions::ResourceSpan{0, 2}}},
      SendMessage{"c_a", "m_2", "u_a", 1, "plain", std::nullopt, std::nullopt, {}, std::nullopt},
      EditMessage{"c_a", "m_1", "new", 7},
      DeleteMessage{"c_a", "m_1"},
      AddReaction{"c_a", "m_1", "👍", "u_a"},
      RemoveReaction{"c_a", "m_1", "👍", "u_a"},
      PinMessage{"c_a", "m_1", true},
      CreateChannel{"ws", "cat", "c_n", "n", ChannelKind::Voice},
      CreateCategory{"ws", "cat", "Cat"},
      RenameCategory{"cat", "Dog"},
      DeleteCategory{"cat"},
      SetCategoryCollapsed{"cat", true},
      ReorderChannel{"c_a", true},
      RenameChannel{"c_a", "b"},
      DeleteChannel{"c_a"},
      ArchiveChannel{"c_a", true},
      MarkRead{"c_a", "u_a", -1},
      SetAgentWork{"c_a", "m_1", sample_work(), "on it"},
      JoinCall{"c_v", "u_a"},
      LeaveCall{"c_v", "u_a"},
      SetCallState{"c_v", "u_a", true, false, true, false},
      SetScreenShare{"c_v", "u_a", true},
      SetCallTicket{"c_v", "u_a", "ticket"},
  };
}

TEST(ChatActionJson, EveryVariantRoundTrips) {
  auto actions = one_of_each();
  std::set<size_t> variants;
  for (const auto& a : actions) {
    variants.insert(a.index());
    auto text = encode_chat_action(a);
    auto back = decode_chat_action(text);
    ASSERT_TRUE(back.ok()) << text << ": " << back.error().message;
    EXPECT_EQ(back.value(), a) << text;
  }
  EXPECT_EQ(variants.size(), std::variant_size_v<ChatAction>);
}

TEST(ChatActionJson, FieldsAreWrittenInDeclarationOrderWithNulls) {
  ChatAction a = SendMessage{"c_a", "m_2", "u_a", 1, "plain", std::nullopt, std::nullopt, {}, std::nullopt};
  EXPECT_EQ(encode_chat_action(a),
            R"({"SendMessage":{"channel":"c_a","id":"m_2","author":"u_a","ts":1,"text":"plain","parent":null,)"
            R"("attachment":null,"mentions":[],"reference":null}})");
  EXPECT_EQ(encode_chat_action(ChatAction{CreateChannel{"ws", "", "c", "n", ChannelKind::Text}}),
            R"({"CreateChannel":{"workspace":"ws","category":"","id":"c","name":"n","kind":"Text"}})");
}

TEST(ChatActionJson, OptionalFieldsMayBeMissingAndUnknownFieldsAreIgnored) {
  auto a = decode_chat_action(
      R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":3,"text":"t","extra":{"deep":[1]}}})");
  ASSERT_TRUE(a.ok()) << a.error().message;
  EXPECT_EQ(a.value(), (ChatAction{SendMessage{"c", "m", "u", 3, "t", std::nullopt, std::nullopt, {}, std::nullopt}}));
  auto w = decode_chat_action(
      R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"taken"},"since":1}}})");
  ASSERT_TRUE(w.ok()) << w.error().message;
  EXPECT_EQ(std::get<SetAgentWork>(w.value()).work, (AgentWork{work_state::Taken{}, 1, std::nullopt, {}}));
}

std::string nested(size_t depth) {
  // {"MarkRead":{... "x": [[[...]]]}} with `depth` levels in all.
  std::string inner;
  for (size_t i = 2; i < depth; ++i) inner += "[";
  for (size_t i = 2; i < depth; ++i) inner += "]";
  return R"({"MarkRead":{"channel":"c","user":"u","count":1,"x":)" + (inner.empty() ? "0" : inner) + "}}";
}

struct Refusal {
  const char* name;
  std::string text;
  const char* error_part;
};

TEST(ChatActionJson, RefusalsNameTheirCause) {
  const Refusal cases[] = {
      {"bare string", R"("DeleteChannel")", "expected an object with one key, found a string"},
      {"two keys", R"({"DeleteChannel":{"id":"c"},"DeleteCategory":{"id":"c"}})", "exactly one key, found 2"},
      {"no key", R"({})", "exactly one key, found 0"},
      {"unknown variant", R"({"DropTable":{"id":"c"}})", "unknown chat action variant \"DropTable\""},
      {"missing field", R"({"MarkRead":{"channel":"c_general","user":"u_me"}})", "missing field \"count\" in MarkRead"},
      {"duplicate field", R"({"DeleteChannel":{"id":"a","id":"b"}})", "duplicate key \"id\""},
      {"wrong type", R"({"PinMessage":{"channel":"c","msg":"m","pinned":"yes"}})", "\"pinned\" in PinMessage: expected a boolean"},
      {"float for i64", R"({"MarkRead":{"channel":"c","user":"u","count":1.5}})", "expected a signed 64-bit integer"},
      {"i64 overflow", R"({"MarkRead":{"channel":"c","user":"u","count":9223372036854775808}})", "signed 64-bit"},
      {"negative u32", R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"t","attachment":{"Image":{"name":"n","blob":"b","w":-1,"h":1}}}})",
       "\"w\" in Image: expected an unsigned 32-bit integer"},
      {"u32 overflow", R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"t","attachment":{"Image":{"name":"n","blob":"b","w":4294967296,"h":1}}}})",
       "unsigned 32-bit"},
      {"unknown attachment", R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"t","attachment":{"Audio":{}}}})",
       "unknown attachment variant"},
      {"mention without is_agent", R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"t","mentions":[{"user":"u","start":0,"len":1}]}})",
       "missing field \"is_agent\" in mention"},
      {"unknown kind", R"({"CreateChannel":{"workspace":"w","category":"","id":"c","name":"n","kind":"Video"}})",
       "unknown channel kind \"Video\""},
      {"unknown work state", R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"sleeping"},"since":1}}})",
       "unknown agent work state \"sleeping\""},
      {"work without since", R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"taken"}}}})",
       "missing field \"since\" in agent work"},
      {"unknown outcome", R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"taken"},"since":1,"trace":[{"resource":"r","label":"l","outcome":{"outcome":"maybe"}}]}}})",
       "unknown agent step outcome"},
      {"body not an object", R"({"DeleteChannel":"c"})", "DeleteChannel: expected an object, found a string"},
      {"trailing garbage", R"({"DeleteChannel":{"id":"c"}} x)", "invalid chat action JSON"},
      {"two values", R"({"DeleteChannel":{"id":"c"}}{})", "invalid chat action JSON"},
      {"not JSON", "{", "invalid chat action JSON"},
      {"too deep", nested(129), "nesting deeper than 128 levels"},
  };
  for (const auto& c : cases) {
    auto decoded = decode_chat_action(c.text);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_NE(decoded.error().message.find(c.error_part), std::string::npos)
        << c.name << ": " << decoded.error().message;
  }
}

TEST(ChatActionJson, NestingUpTo128LevelsIsAccepted) {
  EXPECT_TRUE(decode_chat_action(nested(128)).ok());
  EXPECT_TRUE(decode_chat_action(" " + nested(3) + " \n").ok());  // white space around is fine
}

TEST(ChatActionJson, ParsedValuesAreCheckedForDepthToo) {
  auto deep = nlohmann::json::parse(nested(129));
  auto decoded = decode_chat_action_json(deep);
  ASSERT_FALSE(decoded.ok());
  EXPECT_NE(decoded.error().message.find("nesting deeper"), std::string::npos);
  EXPECT_TRUE(decode_chat_action_json(nlohmann::json::parse(nested(128))).ok());
}

}  // namespace
}  // namespace chat
