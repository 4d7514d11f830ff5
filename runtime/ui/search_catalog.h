// SearchCatalog: an in-memory full-text index of documents (key, text, result) with ranked,
// paged queries. Queries match every query word as a prefix or substring of a document's
// words, ignoring case and diacritics; titles that match exactly or by prefix rank first.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/actions/resource.h"
#include "runtime/ui/search_text.h"

namespace kivo_ui::search::provider {

// What a hit shows and what choosing it does.
struct SearchResult {
  std::string section;                 // e.g. "Messages"
  std::string title;
  std::optional<std::string> subtitle;
  std::optional<std::string> kind;     // e.g. "Person"
  std::string action;                  // action identifier: 0x01 "action" 0x1F + ActionAddress::encode
  int64_t recency = 0;                 // larger is more recent; orders hits of equal rank

  static std::string action_id_for(const kivo_actions::ActionAddress& address);
  std::optional<kivo_actions::ActionAddress> action_address() const;  // reads `action` back
  bool operator==(const SearchResult&) const = default;
};

struct SearchDocument {
  std::string key;   // resource address of the thing
  std::string text;  // what is indexed
  SearchResult result;
};

struct SearchStats {
  uint64_t documents = 0;
  uint64_t postings = 0;
  uint64_t indexed_chars = 0;
  uint64_t revision = 0;
};

struct SearchCursor {
  uint64_t revision = 0;  // the catalog revision the page was computed at
  std::string query;      // the normalised query
  size_t offset = 0;      // hits already handed out
};

struct SearchHit {
  std::string key;
  SearchResult result;
  int rank = 0;  // 0 best
};

struct SearchPage {
  std::vector<SearchHit> hits;
  std::optional<SearchCursor> next;  // present when more hits follow
  size_t total = 0;                  // all hits of the query
};

// The posting lists of one catalog: gram and word to the sorted numbers of their documents.
struct PostingIndex {
  std::unordered_map<Gram, std::vector<uint32_t>> grams;
  std::map<std::string, std::vector<uint32_t>, std::less<>> tokens;
  uint64_t postings = 0;
};

// Removes document `number` from the postings of the given grams and tokens.
void remove_postings(PostingIndex& index, uint32_t number, const std::vector<Gram>& grams,
                     const std::vector<std::string>& tokens);

class SearchCatalog {
public:
  explicit SearchCatalog(std::string name) : m_name(std::move(name)) {}

  const std::string& name() const { return m_name; }
  // Adds or replaces a document; answers whether the catalog changed. A document whose result
  // has no action address, or an address of another resource than its key, is not indexed.
  bool upsert(SearchDocument document);
  bool remove(const std::string& key);

  SearchPage query_page(std::string_view text, const std::optional<SearchCursor>& cursor, size_t limit) const;
  bool cursor_is_current(const SearchCursor& cursor) const { return cursor.revision == m_revision; }
  SearchStats stats() const;
  uint64_t revision() const { return m_revision; }

private:
  struct Entry {
    uint32_t number;
    std::string normalized;        // indexed text
    std::string normalized_title;  // for ranking
    SearchResult result;
    std::vector<Gram> grams;
    std::vector<std::string> tokens;
  };
  void forget(std::unordered_map<std::string, Entry>::iterator it);
  std::vector<uint32_t> candidates(const std::vector<std::string>& words) const;
  int rank(const Entry& entry, std::string_view query, const std::vector<std::string>& words) const;

  std::string m_name;
  std::unordered_map<std::string, Entry> m_entries;
  std::vector<const std::pair<const std::string, Entry>*> m_by_number;  // null once removed
  PostingIndex m_index;
  uint32_t m_next_number = 0;
  uint64_t m_indexed_chars = 0;
  uint64_t m_revision = 0;
};

}  // namespace kivo_ui::search::provider
