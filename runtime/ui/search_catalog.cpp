#include "runtime/ui/search_catalog.h"

#include <glib.h>

#include <algorithm>
#include <limits>

namespace kivo_ui::search::provider {

namespace {

constexpr std::string_view kActionPrefix = "\x01" "action" "\x1f";

uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

uint64_t char_count(std::string_view s) { return static_cast<uint64_t>(g_utf8_strlen(s.data(), static_cast<gssize>(s.size()))); }

void erase_sorted(std::vector<uint32_t>& list, uint32_t number) {
  auto it = std::lower_bound(list.begin(), list.end(), number);
  if (it != list.end() && *it == number) list.erase(it);
}

// Numbers only grow, so appending keeps every posting list sorted.
void add_sorted(std::vector<uint32_t>& list, uint32_t number) {
  if (list.empty() || list.back() < number)
    list.push_back(number);
  else if (!std::binary_search(list.begin(), list.end(), number))
    list.insert(std::lower_bound(list.begin(), list.end(), number), number);
}

std::vector<uint32_t> intersect(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

size_t word_chars(std::string_view word) { return static_cast<size_t>(g_utf8_strlen(word.data(), static_cast<gssize>(word.size()))); }

bool has_word_prefix(std::string_view text, std::string_view word) {
  size_t pos = 0;
  while (pos <= text.size()) {
    if (text.compare(pos, word.size(), word) == 0) return true;
    size_t space = text.find(' ', pos);
    if (space == std::string_view::npos) return false;
    pos = space + 1;
  }
  return false;
}

}  // namespace

std::string SearchResult::action_id_for(const kivo_actions::ActionAddress& address) {
  return std::string(kActionPrefix) + address.encode();
}

std::optional<kivo_actions::ActionAddress> SearchResult::action_address() const {
  if (action.compare(0, kActionPrefix.size(), kActionPrefix) != 0) return std::nullopt;
  return kivo_actions::ActionAddress::decode(std::string_view(action).substr(kActionPrefix.size()));
}

void remove_postings(PostingIndex& index, uint32_t number, const std::vector<Gram>& grams,
                     const std::vector<std::string>& tokens) {
  for (Gram g : grams) {
    auto it = index.grams.find(g);
    if (it == index.grams.end()) continue;
    size_t before = it->second.size();
    erase_sorted(it->second, number);
    index.postings -= before - it->second.size();
    if (it->second.empty()) index.grams.erase(it);
  }
  for (const auto& t : tokens) {
    auto it = index.tokens.find(t);
    if (it == index.tokens.end()) continue;
    size_t before = it->second.size();
    erase_sorted(it->second, number);
    index.postings -= before - it->second.size();
    if (it->second.empty()) index.tokens.erase(it);
  }
}

bool SearchCatalog::upsert(SearchDocument document) {
  auto address = document.result.action_address();
  if (!address || address->resource != document.key) return false;
  std::string normalized = normalize_search_text(document.text);

  auto existing = m_entries.find(document.key);
  if (existing != m_entries.end()) {
    if (existing->second.normalized == normalized && existing->second.result == document.result) return false;
    forget(existing);
  }

  Entry entry;
  entry.number = m_next_number++;
  entry.grams = index_grams(normalized);
  entry.tokens = index_tokens(normalized);
  entry.normalized_title = normalize_search_text(document.result.title);
  entry.result = std::move(document.result);
  for (Gram g : entry.grams) add_sorted(m_index.grams[g], entry.number);
  for (const auto& t : entry.tokens) add_sorted(m_index.tokens[t], entry.number);
  m_index.postings = saturating_add(m_index.postings, entry.grams.size() + entry.tokens.size());
  m_indexed_chars = saturating_add(m_indexed_chars, char_count(normalized));
  entry.normalized = std::move(normalized);

  auto [it, _] = m_entries.emplace(document.key, std::move(entry));
  m_by_number.resize(m_next_number, nullptr);
  m_by_number[it->second.number] = &*it;
  ++m_revision;
  return true;
}

bool SearchCatalog::remove(const std::string& key) {
  auto it = m_entries.find(key);
  if (it == m_entries.end()) return false;
  forget(it);
  ++m_revision;
  return true;
}

void SearchCatalog::forget(std::unordered_map<std::string, Entry>::iterator it) {
  remove_postings(m_index, it->second.number, it->second.grams, it->second.tokens);
  uint64_t chars = char_count(it->second.normalized);
  m_indexed_chars = m_indexed_chars > chars ? m_indexed_chars - chars : 0;
  m_by_number[it->second.number] = nullptr;
  m_entries.erase(it);
}

std::vector<uint32_t> SearchCatalog::candidates(const std::vector<std::string>& words) const {
  std::optional<std::vector<uint32_t>> result;
  for (const auto& word : words) {
    std::vector<uint32_t> matches;
    if (word_chars(word) >= 3) {
      // Documents holding every trigram of the word; verified against the text afterwards.
      auto grams = word_grams(word);
      std::sort(grams.begin(), grams.end());
      grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
      std::vector<const std::vector<uint32_t>*> lists;
      for (Gram g : grams) {
        auto it = m_index.grams.find(g);
        if (it == m_index.grams.end()) return {};
        lists.push_back(&it->second);
      }
      std::sort(lists.begin(), lists.end(), [](auto* a, auto* b) { return a->size() < b->size(); });
      matches = *lists.front();
      for (size_t i = 1; i < lists.size() && !matches.empty(); ++i) matches = intersect(matches, *lists[i]);
    } else {
      // Short words match as word prefixes: the union of every word that starts with them.
      std::vector<char> seen(m_next_number, 0);
      for (auto it = m_index.tokens.lower_bound(word);
           it != m_index.tokens.end() && it->first.compare(0, word.size(), word) == 0; ++it)
        for (uint32_t n : it->second) seen[n] = 1;
      for (uint32_t n = 0; n < m_next_number; ++n)
        if (seen[n]) matches.push_back(n);
    }
    result = result ? intersect(*result, matches) : std::move(matches);
    if (result->empty()) break;
  }
  return result.value_or(std::vector<uint32_t>{});
}

int SearchCatalog::rank(const Entry& entry, std::string_view query, const std::vector<std::string>& words) const {
  const std::string& title = entry.normalized_title;
  if (title == query) return 0;
  if (title.compare(0, query.size(), query) == 0) return 1;
  if (!words.empty() && has_word_prefix(title, words.front())) return 2;
  if (title.find(query) != std::string::npos) return 3;
  return 4;
}

SearchPage SearchCatalog::query_page(std::string_view text, const std::optional<SearchCursor>& cursor,
                                     size_t limit) const {
  SearchPage page;
  std::string query = normalize_search_text(text);
  auto words = index_tokens(query);
  if (words.empty()) return page;

  struct Scored {
    int rank;
    int64_t recency;
    uint32_t number;
    const Entry* entry;
  };
  std::vector<Scored> hits;
  for (uint32_t number : candidates(words)) {
    const auto* slot = m_by_number[number];
    if (!slot) continue;
    const Entry& entry = slot->second;
    bool all = std::all_of(words.begin(), words.end(), [&](const std::string& w) {
      return word_chars(w) >= 3 ? entry.normalized.find(w) != std::string::npos : true;
    });
    if (all) hits.push_back({rank(entry, query, words), entry.result.recency, number, &entry});
  }
  page.total = hits.size();

  size_t offset = 0;
  if (cursor && cursor_is_current(*cursor) && cursor->query == query) offset = std::min(cursor->offset, hits.size());
  size_t end = std::min(hits.size(), offset + limit);
  auto better = [](const Scored& a, const Scored& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (a.recency != b.recency) return a.recency > b.recency;
    return a.number < b.number;
  };
  std::partial_sort(hits.begin(), hits.begin() + static_cast<ptrdiff_t>(end), hits.end(), better);
  for (size_t i = offset; i < end; ++i)
    page.hits.push_back(SearchHit{m_by_number[hits[i].number]->first, hits[i].entry->result, hits[i].rank});
  if (end < hits.size()) page.next = SearchCursor{m_revision, query, end};
  return page;
}

SearchStats SearchCatalog::stats() const {
  return SearchStats{m_entries.size(), m_index.postings, m_indexed_chars, m_revision};
}

}  // namespace kivo_ui::search::provider
