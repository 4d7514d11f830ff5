// A parser for the subset of the Fluent localisation syntax that the toolkit's catalogs use:
// comments ("#", "##", "###"), messages "key = text" with indented continuation lines,
// attributes ".name = text", terms "-name = text", and the placeables { $variable },
// { "literal" } and { -term }. Select expressions and functions are reported as errors.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kivo_ui::i18n {

struct TextPart {
  std::string text;
};
struct VariablePart {
  std::string name;  // without the "$"
};
struct TermPart {
  std::string name;  // without the "-"
};
using PatternPart = std::variant<TextPart, VariablePart, TermPart>;
using Pattern = std::vector<PatternPart>;

struct FluentEntry {
  std::string id;                          // message key, or term name without the "-"
  bool is_term = false;
  bool has_value = false;                  // a message may carry attributes only
  Pattern value;
  std::map<std::string, Pattern> attributes;
  int line = 0;                            // 1-based line of the entry's first line
};

struct FluentError {
  int line = 0;  // 1-based
  std::string message;
};

// Entries in source order; a malformed entry is left out and reported, the rest still parse.
struct FluentResource {
  std::vector<FluentEntry> entries;
  std::vector<FluentError> errors;
};

FluentResource parse_fluent(std::string_view source);

}  // namespace kivo_ui::i18n
