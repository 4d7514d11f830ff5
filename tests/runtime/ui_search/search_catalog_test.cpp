#include <gtest/gtest.h>

#include "runtime/ui/search_catalog.h"

namespace kivo_ui::search::provider {
namespace {

SearchDocument doc(std::string key, std::string text, std::string title, int64_t recency = 0,
                   std::string section = "Messages") {
  SearchResult result{section, title, std::nullopt, std::nullopt,
                      SearchResult::action_id_for({key, "open"}), recency};
  return SearchDocument{key, std::move(text), std::move(result)};
}

std::vector<std::string> keys_of(const SearchPage& page) {
  std::vector<std::string> keys;
  for (const auto& hit : page.hits) keys.push_back(hit.key);
  return keys;
}

TEST(SearchText, NormalisationFoldsCaseDiacriticsAndPunctuation) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"  Café—Ünïcode!", "cafe unicode"}, {"ＦＵＬＬ width", "full width"}, {"Straße", "strasse"},
      {"a_b-c.d", "a b c d"},              {"🎉 party", "🎉 party"},        {"", ""},
      {"\xff\xfe bad", "bad"},
  };
  for (const auto& c : cases) EXPECT_EQ(normalize_search_text(c.in), c.out) << c.in;
  EXPECT_EQ(index_tokens("the cat the hat"), (std::vector<std::string>{"the", "cat", "hat"}));
  EXPECT_EQ(index_grams("ab cat").size(), 1u);          // "ab" is too short for a gram
  EXPECT_EQ(index_grams("aaaa aaa").size(), 1u);        // grams are distinct
}

TEST(SearchCatalog, UpsertIndexesOnlyDocumentsThatOpenThemselves) {
  SearchCatalog catalog("Chat");
  EXPECT_TRUE(catalog.upsert(doc("chat.message:m_1", "hello", "hello")));
  auto wrong = doc("chat.message:m_2", "hello", "hello");
  wrong.result.action = SearchResult::action_id_for({"chat.message:m_other", "open"});
  EXPECT_FALSE(catalog.upsert(wrong));
  auto none = doc("chat.message:m_3", "hello", "hello");
  none.result.action = "open";
  EXPECT_FALSE(catalog.upsert(none));
  EXPECT_EQ(catalog.stats().documents, 1u);

  uint64_t revision = catalog.revision();
  EXPECT_FALSE(catalog.upsert(doc("chat.message:m_1", "HELLO!", "hello")));  // same normalised text
  EXPECT_EQ(catalog.revision(), revision);
  EXPECT_TRUE(catalog.upsert(doc("chat.message:m_1", "goodbye", "goodbye")));
  EXPECT_EQ(catalog.revision(), revision + 1);
  EXPECT_TRUE(catalog.query_page("hello", std::nullopt, 10).hits.empty());
  EXPECT_EQ(keys_of(catalog.query_page("goodbye", std::nullopt, 10)), std::vector<std::string>{"chat.message:m_1"});
  EXPECT_EQ(catalog.stats().postings, index_grams("goodbye").size() + 1);
  EXPECT_EQ(catalog.stats().indexed_chars, 7u);
}

TEST(SearchCatalog, MatchesWordsAsSubstringsOrPrefixesInAnyOrder) {
  SearchCatalog catalog("Chat");
  catalog.upsert(doc("k:1", "Deploying the naïve résumé parser", "a"));
  catalog.upsert(doc("k:2", "résumé review tomorrow", "b"));
  catalog.upsert(doc("k:3", "ab testing", "c"));
  struct Case {
    const char* query;
    std::vector<std::string> keys;
  } cases[] = {
      {"RESUME", {"k:1", "k:2"}},    {"naive parser", {"k:1"}}, {"parser naive", {"k:1"}},
      {"ploy", {"k:1"}},             {"ab", {"k:3"}},           {"te", {"k:3"}},
      {"resume zebra", {}},          {"   ", {}},               {"sum", {"k:1", "k:2"}},
  };
  for (const auto& c : cases) {
    auto keys = keys_of(catalog.query_page(c.query, std::nullopt, 10));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, c.keys) << c.query;
  }
}

TEST(SearchCatalog, NamesRankBeforeMessagesAndRecentMessagesFirst) {
  SearchCatalog catalog("Chat");
  catalog.upsert(doc("chat.message:old", "the design review", "the design review", 100));
  catalog.upsert(doc("chat.message:new", "design notes", "design notes", 200));
  catalog.upsert(doc("chat.channel:c", "design", "#design", 0, "Conversations"));
  catalog.upsert(doc("chat.person:u", "Design Bot u_bot", "Design Bot", 0, "People"));
  auto page = catalog.query_page("design", std::nullopt, 10);
  EXPECT_EQ(keys_of(page),
            (std::vector<std::string>{"chat.channel:c", "chat.message:new", "chat.person:u", "chat.message:old"}));
  EXPECT_EQ(page.hits[0].rank, 0);
}

TEST(SearchCatalog, PagesWithCursorsThatExpireOnChange) {
  SearchCatalog catalog("Chat");
  for (int i = 0; i < 25; ++i)
    catalog.upsert(doc("k:" + std::to_string(i), "common word " + std::to_string(i), "t", i));
  auto first = catalog.query_page("common", std::nullopt, 10);
  ASSERT_EQ(first.hits.size(), 10u);
  EXPECT_EQ(first.total, 25u);
  ASSERT_TRUE(first.next);
  EXPECT_EQ(first.hits[0].key, "k:24");
  auto second = catalog.query_page("common", first.next, 10);
  EXPECT_EQ(second.hits[0].key, "k:14");
  auto third = catalog.query_page("common", second.next, 10);
  EXPECT_EQ(third.hits.size(), 5u);
  EXPECT_FALSE(third.next);

  catalog.upsert(doc("k:new", "common again", "t", 99));
  EXPECT_FALSE(catalog.cursor_is_current(*first.next));
  auto restarted = catalog.query_page("common", first.next, 10);  // a stale cursor starts over
  EXPECT_EQ(restarted.hits[0].key, "k:new");
}

TEST(SearchCatalog, RemovingDocumentsDropsTheirPostings) {
  SearchCatalog catalog("Chat");
  catalog.upsert(doc("k:1", "alpha beta", "x"));
  catalog.upsert(doc("k:2", "alpha gamma", "y"));
  auto before = catalog.stats().postings;
  EXPECT_TRUE(catalog.remove("k:1"));
  EXPECT_FALSE(catalog.remove("k:1"));
  EXPECT_LT(catalog.stats().postings, before);
  EXPECT_EQ(keys_of(catalog.query_page("alpha", std::nullopt, 10)), std::vector<std::string>{"k:2"});
  EXPECT_TRUE(catalog.query_page("beta", std::nullopt, 10).hits.empty());
  EXPECT_EQ(catalog.stats().documents, 1u);
}

TEST(SearchResult, ActionIdentifierRoundTrip) {
  kivo_actions::ActionAddress address{"chat.person:u_1", "open"};
  SearchResult result{"People", "Ann", {}, {}, SearchResult::action_id_for(address)};
  EXPECT_EQ(result.action[0], '\x01');
  EXPECT_EQ(result.action.substr(1, 7), "action\x1f");
  EXPECT_EQ(result.action_address(), address);
}

}  // namespace
}  // namespace kivo_ui::search::provider
