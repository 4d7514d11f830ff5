#include "runtime/ui/search_text.h"

#include <glib.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace kivo_ui::search::provider {

std::string normalize_search_text(std::string_view text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    // Replace invalid bytes so that every later step sees valid UTF-8.
    std::unique_ptr<gchar, decltype(&g_free)> fixed(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())), g_free);
    return normalize_search_text(fixed.get());
  }
  std::unique_ptr<gchar, decltype(&g_free)> decomposed(
      g_utf8_normalize(text.data(), static_cast<gssize>(text.size()), G_NORMALIZE_NFKD), g_free);
  if (!decomposed) return {};
  std::unique_ptr<gchar, decltype(&g_free)> folded(g_utf8_casefold(decomposed.get(), -1), g_free);
  std::string out;
  out.reserve(text.size());
  bool pending_space = false;
  for (const gchar* p = folded.get(); *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    GUnicodeType type = g_unichar_type(c);
    if (type == G_UNICODE_NON_SPACING_MARK || type == G_UNICODE_ENCLOSING_MARK || type == G_UNICODE_SPACING_MARK)
      continue;  // diacritics left over from decomposition
    bool word = g_unichar_isalnum(c) || type == G_UNICODE_LETTER_NUMBER || type == G_UNICODE_OTHER_NUMBER ||
                (type == G_UNICODE_OTHER_SYMBOL && c != 0xFFFD);  // emoji are searchable, replaced bytes not
    if (!word) {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out.push_back(' ');
    pending_space = false;
    char buf[6];
    int n = g_unichar_to_utf8(c, buf);
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

std::vector<std::string> index_tokens(std::string_view normalized) {
  std::vector<std::string> tokens;
  std::unordered_set<std::string_view> seen;
  size_t pos = 0;
  while (pos < normalized.size()) {
    size_t end = normalized.find(' ', pos);
    if (end == std::string_view::npos) end = normalized.size();
    std::string_view word = normalized.substr(pos, end - pos);
    if (!word.empty() && seen.insert(word).second) tokens.emplace_back(word);
    pos = end + 1;
  }
  return tokens;
}

std::vector<Gram> word_grams(std::string_view word) {
  std::vector<gunichar> chars;
  for (const gchar* p = word.data(); p < word.data() + word.size(); p = g_utf8_next_char(p))
    chars.push_back(g_utf8_get_char(p));
  std::vector<Gram> grams;
  for (size_t i = 0; i + 3 <= chars.size(); ++i)
    grams.push_back((Gram(chars[i]) << 42) | (Gram(chars[i + 1]) << 21) | Gram(chars[i + 2]));
  return grams;
}

std::vector<Gram> index_grams(std::string_view normalized) {
  std::vector<Gram> grams;
  size_t pos = 0;
  while (pos < normalized.size()) {
    size_t end = normalized.find(' ', pos);
    if (end == std::string_view::npos) end = normalized.size();
    auto g = word_grams(normalized.substr(pos, end - pos));
    grams.insert(grams.end(), g.begin(), g.end());
    pos = end + 1;
  }
  std::sort(grams.begin(), grams.end());
  grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
  return grams;
}

}  // namespace kivo_ui::search::provider
