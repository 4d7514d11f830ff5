#include <gtest/gtest.h>

#include "model/mentions.h"

namespace chat {
namespace {

const std::vector<MentionCandidate> kPeople = {
    {"u_ann", "Ann", false}, {"u_anna", "Anna", false}, {"u_bot", "Build Bot", true}, {"u_empty", "", false}};

struct MentionCase {
  const char* text;
  std::vector<Mention> expected;
};

TEST(Mentions, Table) {
  const MentionCase cases[] = {
        MentionCase{"@Anna!", {{"u_anna", 0, 5, false}}},                 // longest name first
        MentionCase{"@Annabel", {}},                                      // a letter follows the name
        MentionCase{"x@Ann", {}},                                         // only white space may precede
        MentionCase{"(@Ann)", {}},
        MentionCase{"hi @ann", {{"u_ann", 3, 4, false}}},                 // case ignored
        MentionCase{"@Ann and @build bot", {{"u_ann", 0, 4, false}, {"u_bot", 9, 10, true}}},
        MentionCase{"@Ann2", {}},                                         // a digit follows
        MentionCase{"@Annä", {}},                                         // a non-ASCII letter follows
        MentionCase{"@Ann٣", {}},                                         // a non-ASCII digit follows
        MentionCase{"@Ann, @", {{"u_ann", 0, 4, false}}},
        MentionCase{"@@Ann", {}},
        MentionCase{"\u00a0@Ann", {{"u_ann", 2, 4, false}}},              // Unicode white space before
        MentionCase{"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(find_mentions(c.text, kPeople), c.expected) << c.text;
}

TEST(Mentions, NonAsciiNamesMatchCaseInsensitively) {
  std::vector<MentionCandidate> people = {{"u_e", "Élodie", false}};
  auto found = find_mentions("merci @élodie", people);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].start, 6u);
  EXPECT_EQ(found[0].len, 1u + std::string("Élodie").size());
}

TEST(Mentions, OffsetsStayValidWhenLowerCasingChangesLength) {
  // "İ" lower-cases to two code points, so matching falls back to the original text.
  std::vector<MentionCandidate> people = {{"u_ann", "ann", false}};
  auto found = find_mentions("İ @ann", people);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(std::string("İ @ann").substr(found[0].start, found[0].len), "@ann");
}

}  // namespace
}  // namespace chat
