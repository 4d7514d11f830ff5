#include <gtest/gtest.h>

#include "runtime/ui/context_menu.h"

using namespace kivo_ui;

namespace {
KeyEvent key(Key k) {
  KeyEvent e;
  e.key = k;
  return e;
}
ContextMenu menu() {
  ContextMenu m;
  m.push(0, "Rename");
  m.push(2, "Move up", false, false);  // disabled
  m.push(3, "Move down");
  m.push(1, "Delete", true);
  m.open_at_clamped({10, 10}, {0, 0, 800, 600});
  return m;
}
}  // namespace

TEST(ContextMenu, KeyboardSkipsDisabledItemsAndWraps) {
  ContextMenu m = menu();
  std::vector<size_t> seen;
  for (int i = 0; i < 4; ++i) {
    m.handle_event(key(Key::Down));
    seen.push_back(*m.highlighted());
  }
  EXPECT_EQ(seen, (std::vector<size_t>{0, 2, 3, 0}));
  m.handle_event(key(Key::Up));
  EXPECT_EQ(*m.highlighted(), 3u);
  MenuResponse r = m.handle_event(key(Key::Enter));
  EXPECT_EQ(r.chosen, 1);
  EXPECT_FALSE(r.stays_open);
}

TEST(ContextMenu, FirstUpHighlightsTheLastItem) {
  ContextMenu m = menu();
  m.handle_event(key(Key::Up));
  EXPECT_EQ(*m.highlighted(), 3u);
}

TEST(ContextMenu, EscapeAndOutsidePressCloseWithoutChoosing) {
  ContextMenu m = menu();
  MenuResponse r = m.handle_event(key(Key::Escape));
  EXPECT_TRUE(r.consumed);
  EXPECT_FALSE(r.chosen);
  EXPECT_FALSE(r.stays_open);
  m = menu();
  PointerButtonEvent press;
  press.pos = {700, 500};
  r = m.handle_event(press);
  EXPECT_FALSE(r.stays_open);
  EXPECT_FALSE(r.chosen);
}

TEST(ContextMenu, ClickOnAnItemChoosesIt) {
  ContextMenu m = menu();
  Point p = m.item_rect(2).center();
  PointerButtonEvent press;
  press.pos = p;
  EXPECT_TRUE(m.handle_event(press).stays_open);
  press.pressed = false;
  EXPECT_EQ(m.handle_event(press).chosen, 3);
}

TEST(ContextMenu, OpensClampedInsideTheBounds) {
  ContextMenu m = menu();
  m.open_at_clamped({790, 590}, {0, 0, 800, 600});
  EXPECT_LE(m.rect().right(), 800 - 8 + 0.01f);
  EXPECT_LE(m.rect().bottom(), 600 - 8 + 0.01f);
  EXPECT_GE(m.rect().x, 8);
}

TEST(ContextMenu, SemanticActivateByLabelRefusesDisabled) {
  ContextMenu m = menu();
  SemanticAction a{SemanticKind::Activate, "", "Move up"};
  EXPECT_FALSE(m.perform_semantic_action(a).chosen);
  a.value = "Delete";
  EXPECT_EQ(m.perform_semantic_action(a).chosen, 1);
}
