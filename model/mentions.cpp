#include "model/mentions.h"

#include <glib.h>

#include <algorithm>
#include <memory>

namespace chat {
namespace {

std::string lower(std::string_view text) {
  std::unique_ptr<gchar, decltype(&g_free)> down(g_utf8_strdown(text.data(), static_cast<gssize>(text.size())), g_free);
  return down ? std::string(down.get()) : std::string(text);
}

// Decodes the character at `pos` (valid UTF-8 assumed, else one byte); answers it and its length.
std::pair<gunichar, size_t> char_at(std::string_view text, size_t pos) {
  const gchar* p = text.data() + pos;
  gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - pos));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2))
    return {static_cast<unsigned char>(*p), 1};
  return {c, static_cast<size_t>(g_utf8_next_char(p) - p)};
}

// The character that ends the text before `pos`, or 0 at the start.
gunichar char_before(std::string_view text, size_t pos) {
  if (pos == 0) return 0;
  const gchar* start = text.data();
  const gchar* prev = g_utf8_find_prev_char(start, start + pos);
  if (!prev) return 0;
  return char_at(text, static_cast<size_t>(prev - start)).first;
}

bool is_word_char(gunichar c) {
  if (g_unichar_isalpha(c)) return true;
  switch (g_unichar_type(c)) {
    case G_UNICODE_DECIMAL_NUMBER:
    case G_UNICODE_LETTER_NUMBER:
    case G_UNICODE_OTHER_NUMBER: return true;
    default: return false;
  }
}

}  // namespace

std::vector<Mention> find_mentions(std::string_view text, const std::vector<MentionCandidate>& people) {
  std::vector<const MentionCandidate*> sorted;
  for (const auto& p : people)
    if (!p.name.empty()) sorted.push_back(&p);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const MentionCandidate* a, const MentionCandidate* b) { return a->name.size() > b->name.size(); });
  std::vector<std::string> names;
  names.reserve(sorted.size());
  for (const auto* p : sorted) names.push_back(lower(p->name));

  std::string lowered = lower(text);
  std::string_view hay = lowered.size() == text.size() ? std::string_view(lowered) : text;

  std::vector<Mention> out;
  size_t pos = 0;
  while ((pos = hay.find('@', pos)) != std::string_view::npos) {
    if (pos > 0 && !g_unichar_isspace(char_before(hay, pos))) {
      ++pos;
      continue;
    }
    size_t after = pos + 1;
    bool matched = false;
    for (size_t i = 0; i < sorted.size(); ++i) {
      const std::string& name = names[i];
      if (hay.compare(after, name.size(), name) != 0 || after + name.size() > hay.size()) continue;
      size_t end = after + name.size();
      if (end < hay.size() && is_word_char(char_at(hay, end).first)) continue;
      out.push_back(Mention{sorted[i]->id, pos, 1 + name.size(), sorted[i]->agent});
      pos = end;
      matched = true;
      break;
    }
    if (!matched) pos = after;
  }
  return out;
}

std::vector<Mention> find_mentions(std::string_view text, const std::vector<Person>& people) {
  std::vector<MentionCandidate> candidates;
  candidates.reserve(people.size());
  for (const auto& p : people) candidates.push_back({p.id, p.name, p.agent});
  return find_mentions(text, candidates);
}

}  // namespace chat
