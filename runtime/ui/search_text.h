// Search text processing: normalisation (case and diacritics folded), tokens and grams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo_ui::search::provider {

// Folds case and compatibility forms, drops diacritics, and turns every run of white space and
// punctuation into one space: "  Café—Ünïcode!" -> "cafe unicode".
std::string normalize_search_text(std::string_view text);

// The distinct words of a normalised text, in first-seen order.
std::vector<std::string> index_tokens(std::string_view normalized);

// The distinct character trigrams of the words of a normalised text, packed 21 bits per
// character, sorted. Words shorter than three characters give no grams.
using Gram = uint64_t;
std::vector<Gram> index_grams(std::string_view normalized);
std::vector<Gram> word_grams(std::string_view word);  // the trigrams of one word, in order

}  // namespace kivo_ui::search::provider
