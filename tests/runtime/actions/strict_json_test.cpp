#include <gtest/gtest.h>

#include "runtime/actions/strict_json.h"

namespace kivo_actions {
namespace {

std::string arrays(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(StrictJson, AcceptsOrdinaryTextAndKeepsValues) {
  auto v = parse_strict_json(R"( {"a":[1,-2,3.5,"x",true,null,{"b":{}}],"c":18446744073709551615} )");
  ASSERT_TRUE(v.ok()) << v.error().message;
  EXPECT_EQ(v.value(), nlohmann::json::parse(R"({"a":[1,-2,3.5,"x",true,null,{"b":{}}],"c":18446744073709551615})"));
  EXPECT_TRUE(parse_strict_json(arrays(128)).ok());
  EXPECT_TRUE(parse_strict_json(R"([{"k":1},{"k":2}])").ok());  // same key in sibling objects is fine
}

TEST(StrictJson, Refusals) {
  struct Case {
    std::string text;
    const char* error_part;
  } cases[] = {
      {R"({"a":1,"a":1})", "duplicate key \"a\""},
      {R"({"o":{"a":1,"b":2,"a":3}})", "duplicate key \"a\""},
      {arrays(129), "nesting deeper than 128 levels"},
      {R"({"a":1} {)", "syntax error"},
      {R"({"a":1}x)", "syntax error"},
      {"", "syntax error"},
      {R"({"a":})", "syntax error"},
  };
  for (const auto& c : cases) {
    auto v = parse_strict_json(c.text);
    ASSERT_FALSE(v.ok()) << c.text;
    EXPECT_NE(v.error().message.find(c.error_part), std::string::npos) << c.text << ": " << v.error().message;
  }
}

TEST(StrictJson, DepthOfParsedValues) {
  EXPECT_FALSE(json_deeper_than(nlohmann::json(1), 0));
  EXPECT_TRUE(json_deeper_than(nlohmann::json::array(), 0));
  EXPECT_FALSE(json_deeper_than(nlohmann::json::parse(arrays(128))));
  EXPECT_TRUE(json_deeper_than(nlohmann::json::parse(arrays(129))));
}

}  // namespace
}  // namespace kivo_actions
