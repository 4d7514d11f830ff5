#include "runtime/ui/i18n.h"

namespace kivo_ui::i18n {
namespace {

constexpr int kMaxTermDepth = 8;  // terms referring to terms; deeper means a cycle

}  // namespace

EmbeddedCatalog EmbeddedCatalog::parse_lenient(std::string locale, std::string_view source,
                                               std::vector<FluentError>* errors) {
  FluentResource resource = parse_fluent(source);
  EmbeddedCatalog catalog;
  catalog.m_locale = std::move(locale);
  std::map<std::string, int> first_line;
  for (auto& entry : resource.entries) {
    std::string full_id = (entry.is_term ? "-" : "") + entry.id;
    auto [it, fresh] = first_line.emplace(full_id, entry.line);
    if (!fresh) {
      resource.errors.push_back({entry.line, "duplicate entry \"" + full_id + "\" (first on line " +
                                                 std::to_string(it->second) + "); the first is kept"});
      continue;
    }
    if (entry.is_term) {
      catalog.m_terms.emplace(entry.id, std::move(entry.value));
      continue;
    }
    catalog.m_keys.push_back(entry.id);
    for (auto& [name, pattern] : entry.attributes) catalog.m_messages.emplace(entry.id + "." + name, std::move(pattern));
    if (entry.has_value) catalog.m_messages.emplace(entry.id, std::move(entry.value));
  }
  if (errors) *errors = std::move(resource.errors);
  return catalog;
}

kivo::Result<EmbeddedCatalog> EmbeddedCatalog::parse(std::string locale, std::string_view source) {
  std::vector<FluentError> errors;
  EmbeddedCatalog catalog = parse_lenient(locale, source, &errors);
  if (!errors.empty()) {
    const FluentError* first = &errors.front();
    for (const auto& e : errors)
      if (e.line < first->line) first = &e;
    return kivo::make_error("catalog " + locale + ", line " + std::to_string(first->line) + ": " + first->message);
  }
  return catalog;
}

bool EmbeddedCatalog::contains(std::string_view key) const { return m_messages.find(key) != m_messages.end(); }

std::string EmbeddedCatalog::t(std::string_view key) const { return t(key, Args{}); }

std::string EmbeddedCatalog::t(std::string_view key, const Args& args) const {
  std::string out;
  if (!format(key, args, out)) return std::string(key);
  return out;
}

bool EmbeddedCatalog::format(std::string_view key, const Args& args, std::string& out) const {
  auto it = m_messages.find(key);
  if (it == m_messages.end()) return false;
  format_pattern(it->second, args, 0, out);
  return true;
}

void EmbeddedCatalog::format_pattern(const Pattern& pattern, const Args& args, int depth, std::string& out) const {
  for (const auto& part : pattern) {
    if (auto* text = std::get_if<TextPart>(&part)) {
      out += text->text;
    } else if (auto* var = std::get_if<VariablePart>(&part)) {
      auto arg = args.find(var->name);
      out += arg != args.end() ? arg->second : "{$" + var->name + "}";
    } else {
      const auto& term = std::get<TermPart>(part);
      auto it = m_terms.find(term.name);
      if (it == m_terms.end() || depth >= kMaxTermDepth) {
        out += "{-" + term.name + "}";
        continue;
      }
      format_pattern(it->second, Args{}, depth + 1, out);  // terms see no message arguments
    }
  }
}

I18nManager::I18nManager(EmbeddedCatalog fallback) : m_fallback(fallback.locale()), m_current(fallback.locale()) {
  m_catalogs.insert_or_assign(m_fallback, std::move(fallback));
}

void I18nManager::add_catalog(EmbeddedCatalog catalog) {
  std::string locale = catalog.locale();
  m_catalogs.insert_or_assign(locale, std::move(catalog));
  if (locale == m_current) ++m_revision;
}

bool I18nManager::set_language(std::string_view locale) {
  auto it = m_catalogs.find(locale);
  if (it == m_catalogs.end()) return false;
  if (it->first != m_current) {
    m_current = it->first;
    ++m_revision;
  }
  return true;
}

std::vector<std::string> I18nManager::languages() const {
  std::vector<std::string> out;
  for (const auto& [locale, catalog] : m_catalogs) out.push_back(locale);
  return out;
}

const EmbeddedCatalog& I18nManager::current() const { return m_catalogs.find(m_current)->second; }

std::string I18nManager::t(std::string_view key) const { return t(key, Args{}); }

std::string I18nManager::t(std::string_view key, const Args& args) const {
  const EmbeddedCatalog& catalog = current();
  if (catalog.contains(key) || m_current == m_fallback) return catalog.t(key, args);
  return m_catalogs.find(m_fallback)->second.t(key, args);
}

}  // namespace kivo_ui::i18n
