#include "runtime/ui/i18n.h"

#include <gtest/gtest.h>

namespace kivo_ui::i18n {
namespace {

constexpr std::string_view kChatCatalog = R"(# Chat — user-facing strings.

# The marker tells that the addressee is software rather than a person.
chat-mention-agent-tag = agent
chat-identity-available = Available
chat-identity-in-voice = In voice
chat-sidebar-add-category = ＋ Category
chat-call-mute = Mute
chat-call-unmute = Unmute
chat-call-deafen = Deafen
chat-call-undeafen = Undeafen
chat-call-audio-only = Audio only
chat-call-collapse = Collapse
chat-call-leave = Leave
)";

EmbeddedCatalog strict(std::string_view source) {
  auto catalog = EmbeddedCatalog::parse("en-US", source);
  EXPECT_TRUE(catalog.ok()) << catalog.error().message;
  return catalog.ok() ? catalog.value() : EmbeddedCatalog();
}

TEST(I18nCatalog, ServesAnApplicationCatalog) {
  auto catalog = strict(kChatCatalog);
  EXPECT_EQ(catalog.keys().size(), 11u);
  EXPECT_EQ(catalog.keys().front(), "chat-mention-agent-tag");
  EXPECT_EQ(catalog.keys().back(), "chat-call-leave");
  EXPECT_EQ(catalog.t("chat-sidebar-add-category"), "＋ Category");
  EXPECT_EQ(catalog.t("chat-call-audio-only"), "Audio only");
  EXPECT_EQ(catalog.t("chat-no-such-key"), "chat-no-such-key");
  EXPECT_EQ(catalog.locale(), "en-US");
}

TEST(I18nCatalog, FormatsPatterns) {
  struct Case {
    const char* name;
    std::string_view source;
    std::string_view key;
    Args args;
    std::string_view expected;
  };
  const Case cases[] = {
      {"variable", "k = Hello { $name }!", "k", {{"name", "Ada"}}, "Hello Ada!"},
      {"variable without argument", "k = Hello {$name}!", "k", {}, "Hello {$name}!"},
      {"two variables, one twice", "k = {$a}-{$b}-{$a}", "k", {{"a", "1"}, {"b", "2"}}, "1-2-1"},
      {"block value", "k =\n    first\n    second\n", "k", {}, "first\nsecond"},
      {"inline then continuation", "k = one\n  two", "k", {}, "one\ntwo"},
      {"relative indent kept", "k =\n    a\n      b", "k", {}, "a\n  b"},
      {"blank line inside, trailing blanks dropped", "k =\n  a\n\n  b\n\n\nz = 1", "k", {}, "a\n\nb"},
      {"placeable across lines", "k = n={\n    $n }", "k", {{"n", "3"}}, "n=3"},
      {"literal braces", "k = { \"{\" }x{ \"}\" }", "k", {}, "{x}"},
      {"escapes", R"(k = { "\u00e9\"\\" })", "k", {}, "é\"\\"},
      {"term", "-brand = Kivo\nk = Welcome to { -brand }", "k", {}, "Welcome to Kivo"},
      {"attribute", "k = Value\n    .title = Tip for { $who }", "k.title", {{"who", "you"}}, "Tip for you"},
      {"attribute only message", "k =\n    .title = Tip", "k.title", {}, "Tip"},
      {"CRLF line ends", "a = one\r\nb = two\r\n", "b", {}, "two"},
      {"trailing spaces trimmed", "k = text   ", "k", {}, "text"},
      {"argument text is not parsed", "k = {$x}", "k", {{"x", "{ $y }"}}, "{ $y }"},
      {"hash inside a value", "k = Room #1", "k", {}, "Room #1"},
      {"equals inside a value", "k = a = b", "k", {}, "a = b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(strict(c.source).t(c.key, c.args), c.expected);
  }
}

TEST(I18nCatalog, MalformedEntriesAreReportedAndTheRestStillServes) {
  struct Case {
    const char* name;
    std::string_view source;
    int line;
    std::string_view message;
  };
  const Case cases[] = {
      {"no equals sign", "ok = fine\nbroken\n  more of it\nok2 = yes", 2, "expected \"key = text\""},
      {"bad identifier", "ok = fine\n1bad = x\nok2 = yes", 2, "expected \"key = text\""},
      {"unclosed placeable", "ok = fine\nk = { $name\nok2 = yes", 2, "unclosed placeable"},
      {"stray closing brace", "k = a } b\nok = fine\nok2 = yes", 1, "unbalanced"},
      {"select expression", "ok = fine\nk = { $n ->\n   *[other] x\n  }\nok2 = yes", 3, "variants are not supported"},
      {"function call", "ok = fine\nok2 = yes\nk = { NUMBER($n) }", 3, "unsupported placeable"},
      {"empty placeable", "ok = fine\nok2 = yes\nk = { }", 3, "empty placeable"},
      {"nested placeable", "ok = fine\nok2 = yes\nk = { { $n } }", 3, "nested placeables"},
      {"no value", "ok = fine\nk =\nok2 = yes", 2, "has no value"},
      {"unknown escape", "ok = fine\nok2 = yes\nk = { \"\\q\" }", 3, "unknown escape"},
      {"bad unicode escape", "ok = fine\nok2 = yes\nk = { \"\\u12\" }", 3, "unicode escape"},
      {"surrogate escape", "ok = fine\nok2 = yes\nk = { \"\\uD800\" }", 3, "valid range"},
      {"duplicate keeps the first", "ok = fine\nok = other\nok2 = yes", 2, "duplicate entry \"ok\""},
      {"indented line first", "  stray\nok = fine\nok2 = yes", 1, "outside a message"},
      {"indented after a comment", "ok = fine\n# note\n  stray\nok2 = yes", 3, "outside a message"},
      {"malformed attribute", "ok = fine\nk = x\n    .1bad = y\nok2 = yes", 3, "malformed attribute"},
      {"tab is no indent", "ok = fine\nok2 = yes\n\tb", 3, "expected \"key = text\""},
      {"well-formed source", "ok = fine\n\n# comment\nok2 = yes\n", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<FluentError> errors;
    auto catalog = EmbeddedCatalog::parse_lenient("en-US", c.source, &errors);
    EXPECT_EQ(catalog.t("ok"), "fine");
    EXPECT_EQ(catalog.t("ok2"), "yes");
    if (c.line == 0) {
      EXPECT_TRUE(errors.empty());
      continue;
    }
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().line, c.line);
    EXPECT_NE(errors.front().message.find(c.message), std::string::npos) << errors.front().message;
    EXPECT_FALSE(catalog.contains("k"));
    auto refused = EmbeddedCatalog::parse("en-US", c.source);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("line " + std::to_string(c.line) + ":"), std::string::npos)
        << refused.error().message;
  }
}

TEST(I18nCatalog, MissingAndCyclicTermsStayVisible) {
  auto catalog = strict("-a = { -b }\n-b = x{ -a }\nk = { -a }\nm = { -nope }");
  EXPECT_EQ(catalog.t("m"), "{-nope}");
  std::string cyclic = catalog.t("k");
  EXPECT_NE(cyclic.find("{-"), std::string::npos) << cyclic;
  EXPECT_LT(cyclic.size(), 64u);
  EXPECT_FALSE(catalog.contains("a"));  // terms are not messages
  EXPECT_EQ(catalog.t("-a"), "-a");
}

TEST(I18nManager, RevisionFollowsTheLanguage) {
  I18nManager manager(strict("hello = Hello\nonly-en = English only"));
  auto german = EmbeddedCatalog::parse("de-DE", "hello = Hallo");
  ASSERT_TRUE(german.ok());
  manager.add_catalog(german.value());

  const uint64_t start = manager.revision();
  EXPECT_EQ(manager.t("hello"), "Hello");
  EXPECT_FALSE(manager.set_language("fr-FR"));
  EXPECT_EQ(manager.revision(), start);
  EXPECT_TRUE(manager.set_language("en-US"));
  EXPECT_EQ(manager.revision(), start);  // no change of language

  EXPECT_TRUE(manager.set_language("de-DE"));
  const uint64_t german_rev = manager.revision();
  EXPECT_NE(german_rev, start);
  EXPECT_EQ(manager.language(), "de-DE");
  EXPECT_EQ(manager.t("hello"), "Hallo");
  EXPECT_EQ(manager.t("only-en"), "English only");  // falls back to the first language
  EXPECT_EQ(manager.t("nowhere"), "nowhere");

  manager.add_catalog(EmbeddedCatalog::parse_lenient("de-DE", "hello = Guten Tag"));
  EXPECT_NE(manager.revision(), german_rev);  // the texts in use changed
  EXPECT_EQ(manager.t("hello"), "Guten Tag");
  const uint64_t replaced = manager.revision();
  manager.add_catalog(EmbeddedCatalog::parse_lenient("fr-FR", "hello = Bonjour"));
  EXPECT_EQ(manager.revision(), replaced);  // another language: nothing shown changed

  EXPECT_TRUE(manager.set_language("en-US"));
  EXPECT_NE(manager.revision(), replaced);
  EXPECT_EQ(manager.languages(), (std::vector<std::string>{"de-DE", "en-US", "fr-FR"}));
}

}  // namespace
}  // namespace kivo_ui::i18n
