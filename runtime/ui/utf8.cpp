#include "runtime/ui/utf8.h"

#include <algorithm>

namespace kivo_ui::utf8 {

char32_t decode(std::string_view s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || i + size_t(len) > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char cc = byte(i + size_t(k));
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += size_t(len);
  return cp;
}

bool is_boundary(std::string_view s, size_t i) {
  if (i == 0 || i >= s.size()) return true;
  return (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
}

size_t floor_boundary(std::string_view s, size_t i) {
  if (i >= s.size()) return s.size();
  // A continuation byte belongs to the code point at most three bytes back.
  size_t k = i;
  while (k > 0 && i - k < 3 && !is_boundary(s, k)) --k;
  return is_boundary(s, k) ? k : i;
}

static bool is_extender(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF) || c == 0x200D ||
         (c >= 0xE0020 && c <= 0xE007F);
}

size_t next_char(std::string_view s, size_t i) {
  if (i >= s.size()) return s.size();
  i = floor_boundary(s, i);
  decode(s, i);
  bool joined = false;
  while (i < s.size()) {
    size_t j = i;
    char32_t c = decode(s, j);
    if (c == 0x200D) {
      joined = true;
      i = j;
      continue;
    }
    if (joined || is_extender(c)) {
      joined = false;
      i = j;
      continue;
    }
    break;
  }
  return i;
}

static size_t prev_code_point(std::string_view s, size_t i) {
  if (i == 0) return 0;
  size_t k = i - 1;
  while (k > 0 && !is_boundary(s, k)) --k;
  return k;
}

size_t prev_char(std::string_view s, size_t i) {
  i = floor_boundary(s, std::min(i, s.size()));
  if (i == 0) return 0;
  // Find a cluster start at or before the previous code point, then step forward to i.
  size_t start = prev_code_point(s, i);
  for (int n = 0; n < 64 && start > 0; ++n) {
    size_t k = start;
    char32_t c = decode(s, k);
    size_t before = prev_code_point(s, start);
    size_t kb = before;
    char32_t pc = decode(s, kb);
    if (!is_extender(c) && pc != 0x200D) break;
    start = before;
  }
  size_t pos = start, last = start;
  while (pos < i) {
    last = pos;
    pos = next_char(s, pos);
  }
  return last;
}

bool is_word_char(char32_t c) {
  if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  // Non-ASCII: letters of other scripts count as word characters; spaces and common punctuation do not.
  if (c == 0x00A0 || (c >= 0x2000 && c <= 0x206F) || c == 0x3000 || (c >= 0x3001 && c <= 0x303F)) return false;
  if (c >= 0x1F000) return false;  // emoji stand alone
  return true;
}

static char32_t at(std::string_view s, size_t i) {
  size_t k = i;
  return decode(s, k);
}

size_t next_word(std::string_view s, size_t i) {
  i = floor_boundary(s, i);
  while (i < s.size() && !is_word_char(at(s, i))) i = next_char(s, i);
  while (i < s.size() && is_word_char(at(s, i))) i = next_char(s, i);
  return i;
}

size_t prev_word(std::string_view s, size_t i) {
  i = floor_boundary(s, std::min(i, s.size()));
  while (i > 0) {
    size_t p = prev_char(s, i);
    if (is_word_char(at(s, p))) break;
    i = p;
  }
  while (i > 0) {
    size_t p = prev_char(s, i);
    if (!is_word_char(at(s, p))) break;
    i = p;
  }
  return i;
}

}  // namespace kivo_ui::utf8
