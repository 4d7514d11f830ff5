#include "runtime/ui/fluent.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace kivo_ui::i18n {
namespace {

bool is_blank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string_view trim(std::string_view s) {
  const char* ws = " \t\r\n";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

bool is_ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_ident_char(char c) { return is_ident_start(c) || (c >= '0' && c <= '9') || c == '_' || c == '-'; }

bool is_identifier(std::string_view s) {
  return !s.empty() && is_ident_start(s[0]) && std::all_of(s.begin(), s.end(), is_ident_char);
}

size_t indent_of(std::string_view line) { return line.find_first_not_of(' '); }

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The text of a string literal without its quotes, with \" \\ \uXXXX and \UXXXXXX resolved.
std::optional<std::string> unescape(std::string_view body, std::string& error) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '"') {
      error = "unescaped quote in a string literal";
      return std::nullopt;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == body.size()) {
      error = "unterminated escape in a string literal";
      return std::nullopt;
    }
    char e = body[i];
    if (e == '"' || e == '\\') {
      out += e;
    } else if (e == 'u' || e == 'U') {
      size_t digits = e == 'u' ? 4 : 6;
      std::string_view hex = body.substr(i + 1, digits);
      if (hex.size() != digits || !std::all_of(hex.begin(), hex.end(), [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); })) {
        error = "malformed unicode escape in a string literal";
        return std::nullopt;
      }
      uint32_t cp = static_cast<uint32_t>(std::stoul(std::string(hex), nullptr, 16));
      if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        error = "unicode escape outside the valid range";
        return std::nullopt;
      }
      append_utf8(out, cp);
      i += digits;
    } else {
      error = std::string("unknown escape \\") + e + " in a string literal";
      return std::nullopt;
    }
  }
  return out;
}

// Splits pattern text into text and placeables.
std::optional<Pattern> parse_pattern(std::string_view text, std::string& error) {
  Pattern pattern;
  std::string pending;
  auto flush = [&] {
    if (!pending.empty()) pattern.push_back(TextPart{std::move(pending)});
    pending.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '}') {
      error = "unbalanced \"}\" in text (write { \"}\" } for a literal brace)";
      return std::nullopt;
    }
    if (c != '{') {
      pending += c;
      continue;
    }
    // Find the closing brace, skipping over string literals.
    size_t j = i + 1;
    bool in_string = false;
    for (; j < text.size(); ++j) {
      if (in_string) {
        if (text[j] == '\\') ++j;
        else if (text[j] == '"') in_string = false;
      } else if (text[j] == '"') {
        in_string = true;
      } else if (text[j] == '{') {
        error = "nested placeables are not supported";
        return std::nullopt;
      } else if (text[j] == '}') {
        break;
      }
    }
    if (j >= text.size()) {
      error = "unclosed placeable \"{\"";
      return std::nullopt;
    }
    std::string_view inner = trim(text.substr(i + 1, j - i - 1));
    if (inner.find("->") != std::string_view::npos && (inner.empty() || inner[0] != '"')) {
      error = "select expressions are not supported";
      return std::nullopt;
    }
    if (inner.size() >= 2 && inner.front() == '"' && inner.back() == '"') {
      auto literal = unescape(inner.substr(1, inner.size() - 2), error);
      if (!literal) return std::nullopt;
      pending += *literal;
    } else if (!inner.empty() && inner[0] == '$' && is_identifier(inner.substr(1))) {
      flush();
      pattern.push_back(VariablePart{std::string(inner.substr(1))});
    } else if (!inner.empty() && inner[0] == '-' && is_identifier(inner.substr(1))) {
      flush();
      pattern.push_back(TermPart{std::string(inner.substr(1))});
    } else {
      error = inner.empty() ? "empty placeable" : "unsupported placeable { " + std::string(inner) + " }";
      return std::nullopt;
    }
    i = j;
  }
  flush();
  return pattern;
}

// The lines of one value (a message value or an attribute) before they become a pattern.
struct PendingValue {
  std::string inline_text;           // after "=" on the entry's own line
  std::vector<std::string> lines;    // indented continuation lines, blank ones as ""
  int line = 0;
};

// Joins the lines: the common indent of the continuation lines is removed and trailing blank
// lines are dropped.
std::string join_value(const PendingValue& v) {
  std::vector<std::string> lines = v.lines;
  while (!lines.empty() && is_blank(lines.back())) lines.pop_back();
  if (trim(v.inline_text).empty())
    while (!lines.empty() && is_blank(lines.front())) lines.erase(lines.begin());
  size_t common = std::string::npos;
  for (const auto& l : lines)
    if (!is_blank(l)) common = std::min(common, indent_of(l));
  std::string out(trim(v.inline_text));
  for (const auto& l : lines) {
    if (!out.empty() || &l != &lines.front()) out += '\n';
    if (!is_blank(l)) out += l.substr(common);
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  return out;
}

struct PendingEntry {
  FluentEntry entry;
  std::optional<PendingValue> value;
  std::vector<std::pair<std::string, PendingValue>> attributes;
};

class Parser {
public:
  FluentResource run(std::string_view source) {
    int number = 0;
    size_t at = 0;
    while (at <= source.size()) {
      size_t end = source.find('\n', at);
      if (end == std::string_view::npos) end = source.size();
      std::string_view line = source.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++number;
      take_line(line, number);
      if (end == source.size()) break;
      at = end + 1;
    }
    finish();
    return std::move(m_out);
  }

private:
  void error(int line, std::string message) { m_out.errors.push_back({line, std::move(message)}); }

  void take_line(std::string_view line, int number) {
    if (is_blank(line)) {
      if (m_current) current_lines().push_back("");
      return;
    }
    if (line[0] == '#') {
      finish();
      m_junk = false;
      return;
    }
    if (line[0] == ' ') {
      if (m_junk) return;
      if (!m_current) {
        error(number, "indented line outside a message");
        m_junk = true;
        return;
      }
      std::string_view body = trim(line);
      if (body[0] == '.') {
        size_t eq = body.find('=');
        std::string_view name = eq == std::string_view::npos ? std::string_view() : trim(body.substr(1, eq - 1));
        if (!is_identifier(name)) {
          error(number, "malformed attribute (expected \".name = text\")");
          drop_current();
          return;
        }
        m_current->attributes.push_back({std::string(name), PendingValue{std::string(body.substr(eq + 1)), {}, number}});
        return;
      }
      if (body[0] == '[' || body[0] == '*') {
        error(number, "variants are not supported");
        drop_current();
        return;
      }
      current_lines().push_back(std::string(line));
      return;
    }
    // A new entry: "key = text" or "-term = text".
    finish();
    m_junk = false;
    size_t eq = line.find('=');
    std::string_view head = eq == std::string_view::npos ? line : trim(line.substr(0, eq));
    bool is_term = !head.empty() && head[0] == '-';
    std::string_view id = is_term ? head.substr(1) : head;
    if (eq == std::string_view::npos || !is_identifier(id)) {
      error(number, "expected \"key = text\"");
      m_junk = true;
      return;
    }
    m_current.emplace();
    m_current->entry.id = std::string(id);
    m_current->entry.is_term = is_term;
    m_current->entry.line = number;
    m_current->value = PendingValue{std::string(line.substr(eq + 1)), {}, number};
  }

  std::vector<std::string>& current_lines() {
    return m_current->attributes.empty() ? m_current->value->lines : m_current->attributes.back().second.lines;
  }

  void drop_current() {
    m_current.reset();
    m_junk = true;
  }

  void finish() {
    if (!m_current) return;
    PendingEntry pending = std::move(*m_current);
    m_current.reset();
    FluentEntry& entry = pending.entry;
    std::string message;
    std::string text = join_value(*pending.value);
    if (!text.empty()) {
      auto pattern = parse_pattern(text, message);
      if (!pattern) return error(entry.line, message);
      entry.value = std::move(*pattern);
      entry.has_value = true;
    }
    for (auto& [name, value] : pending.attributes) {
      auto pattern = parse_pattern(join_value(value), message);
      if (!pattern) return error(value.line, message);
      entry.attributes[name] = std::move(*pattern);
    }
    if (!entry.has_value && (entry.is_term || entry.attributes.empty()))
      return error(entry.line, (entry.is_term ? "term \"-" : "message \"") + entry.id + "\" has no value");
    m_out.entries.push_back(std::move(entry));
  }

  FluentResource m_out;
  std::optional<PendingEntry> m_current;
  bool m_junk = false;  // skipping the indented lines of a malformed entry
};

}  // namespace

FluentResource parse_fluent(std::string_view source) { return Parser().run(source); }

}  // namespace kivo_ui::i18n
