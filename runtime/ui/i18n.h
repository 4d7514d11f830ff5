// Localisation: catalogs of user-facing strings written in Fluent (see fluent.h), and the
// manager that serves the current language's texts and tells views when to measure again.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/fluent.h"

namespace kivo_ui::i18n {

// Arguments of a message: variable name (without "$") to its already formatted text.
using Args = std::map<std::string, std::string, std::less<>>;

// The strings of one language, usually embedded in the program as Fluent source.
class EmbeddedCatalog {
public:
  EmbeddedCatalog() = default;

  // Strict: any malformed entry fails with its line ("line 4: unclosed placeable ...").
  static kivo::Result<EmbeddedCatalog> parse(std::string locale, std::string_view source);
  // Lenient: malformed entries are left out and listed in `errors` (when given).
  static EmbeddedCatalog parse_lenient(std::string locale, std::string_view source,
                                       std::vector<FluentError>* errors = nullptr);

  const std::string& locale() const { return m_locale; }  // e.g. "en-US"

  // The text of `key` ("key" or "key.attribute"); a key the catalog lacks answers the key itself,
  // a variable without an argument is written as "{$name}".
  std::string t(std::string_view key) const;
  std::string t(std::string_view key, const Args& args) const;

  bool contains(std::string_view key) const;
  const std::vector<std::string>& keys() const { return m_keys; }  // messages in source order

private:
  bool format(std::string_view key, const Args& args, std::string& out) const;
  void format_pattern(const Pattern& pattern, const Args& args, int depth, std::string& out) const;

  std::string m_locale;
  std::map<std::string, Pattern, std::less<>> m_messages;  // attributes as "key.attribute"
  std::map<std::string, Pattern, std::less<>> m_terms;
  std::vector<std::string> m_keys;
};

// The catalogs of every language the program carries and the one in use. UI thread only.
class I18nManager {
public:
  explicit I18nManager(EmbeddedCatalog fallback);  // also the starting language

  // Adds or replaces a language; replacing the language in use changes the revision.
  void add_catalog(EmbeddedCatalog catalog);
  // Switches language; false (and no change) when there is no catalog for `locale`.
  bool set_language(std::string_view locale);
  const std::string& language() const { return m_current; }
  std::vector<std::string> languages() const;

  // Changes whenever the texts served may have changed; views measure their texts again then.
  uint64_t revision() const { return m_revision; }

  // The current language's text, else the fallback language's, else the key itself.
  std::string t(std::string_view key) const;
  std::string t(std::string_view key, const Args& args) const;

private:
  const EmbeddedCatalog& current() const;

  std::map<std::string, EmbeddedCatalog, std::less<>> m_catalogs;
  std::string m_fallback;
  std::string m_current;
  uint64_t m_revision = 1;
};

}  // namespace kivo_ui::i18n
