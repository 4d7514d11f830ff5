// UTF-8 helpers for caret movement: code points, grapheme-ish cluster steps and word classes.
#pragma once

#include <cstddef>
#include <string_view>

namespace kivo_ui::utf8 {

// Decodes the code point starting at byte i (advancing i); malformed bytes decode as U+FFFD, one byte each.
char32_t decode(std::string_view s, size_t& i);
bool is_boundary(std::string_view s, size_t i);  // i is at a code point start (or the end)
size_t floor_boundary(std::string_view s, size_t i);  // the nearest code point start at or before i

// Caret steps: one user-perceived character (a code point with its combining marks, variation
// selectors, skin-tone modifiers and zero-width-joined emoji sequence).
size_t next_char(std::string_view s, size_t i);
size_t prev_char(std::string_view s, size_t i);

// Word steps: next_word goes to the end of the next word, prev_word to the start of the previous one.
size_t next_word(std::string_view s, size_t i);
size_t prev_word(std::string_view s, size_t i);
bool is_word_char(char32_t c);

}  // namespace kivo_ui::utf8
