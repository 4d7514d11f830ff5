#include <gtest/gtest.h>

#include "l10n/catalog.h"
#include "runtime/ui/i18n.h"

namespace chat::l10n {
namespace {

TEST(Catalog, EmbeddedEnUsCatalogParsesWithItsElevenKeys) {
  auto source = en_us_source();
  EXPECT_EQ(source.substr(0, source.find('\n')), "# Chat — user-facing strings.");
  auto catalog = kivo_ui::i18n::EmbeddedCatalog::parse(std::string(kLanguage), std::string(source));
  ASSERT_TRUE(catalog.ok()) << catalog.error().message;
  const std::pair<const char*, const char*> expected[] = {
      {"chat-mention-agent-tag", "agent"},     {"chat-identity-available", "Available"},
      {"chat-identity-in-voice", "In voice"},  {"chat-sidebar-add-category", "＋ Category"},
      {"chat-call-mute", "Mute"},              {"chat-call-unmute", "Unmute"},
      {"chat-call-deafen", "Deafen"},          {"chat-call-undeafen", "Undeafen"},
      {"chat-call-audio-only", "Audio only"},  {"chat-call-collapse", "Collapse"},
      {"chat-call-leave", "Leave"},
  };
  ASSERT_EQ(catalog->keys().size(), 11u);
  for (size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(catalog->keys()[i], expected[i].first);
    EXPECT_EQ(catalog->t(expected[i].first), expected[i].second);
  }
}

}  // namespace
}  // namespace chat::l10n
