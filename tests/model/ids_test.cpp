#include <gtest/gtest.h>

#include <set>

#include "model/ids.h"

namespace chat {
namespace {

TEST(Ids, FreshIdsHavePrefixAndVersion4Uuid) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string id = new_message_id();
    ASSERT_EQ(id.size(), 34u);
    EXPECT_EQ(id.substr(0, 2), "m_");
    EXPECT_EQ(id[2 + 12], '4') << id;                              // version nibble
    EXPECT_NE(std::string("89ab").find(id[2 + 16]), std::string::npos) << id;  // variant
    for (char c : id.substr(2)) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::isupper(c));
    EXPECT_TRUE(seen.insert(id).second);
  }
  EXPECT_EQ(new_channel_id().substr(0, 2), "c_");
  EXPECT_EQ(new_category_id().substr(0, 4), "cat_");
  EXPECT_EQ(new_category_id().size(), 36u);
}

TEST(Ids, NowSecondsIsUnixTime) {
  EXPECT_GT(now_seconds(), 1'700'000'000);
}

TEST(Ids, MessageIdValidity) {
  struct Case {
    std::string id;
    bool valid;
  } cases[] = {
      {std::string(128, 'a'), true}, {std::string(129, 'a'), false}, {"", false},
      {"m_ABC-def_09", true},        {"a b", false},                  {"a.b", false},
      {"a/b", false},                {"caf\xc3\xa9", false},          {"m_x\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_message_id(c.id), c.valid) << c.id;
}

TEST(Ids, AttachmentNameValidity) {
  struct Case {
    std::string name;
    bool valid;
  } cases[] = {
      {"report.pdf", true},      {"a\tb", false},          {"a\nb", false},
      {std::string(255, 'x'), true}, {std::string(256, 'x'), false}, {"", false},
      {"del\x7f", false},         {"c1\xc2\x85x", false},    {"caf\xc3\xa9.png", true},
      {"\xc2\xa0nbsp", true},
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_attachment_name(c.name), c.valid) << c.name;
}

TEST(Ids, BlobRefValidity) {
  EXPECT_TRUE(is_valid_blob_ref(std::string(64, 'a')));
  EXPECT_TRUE(is_valid_blob_ref(std::string(64, 'F')));
  EXPECT_FALSE(is_valid_blob_ref(std::string(63, 'a')));
  EXPECT_FALSE(is_valid_blob_ref(std::string(65, 'a')));
  EXPECT_FALSE(is_valid_blob_ref(std::string(63, 'a') + "g"));
}

}  // namespace
}  // namespace chat
