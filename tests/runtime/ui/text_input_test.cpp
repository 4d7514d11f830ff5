#include <gtest/gtest.h>

#include "runtime/ui/clipboard.h"
#include "runtime/ui/text_input.h"

using namespace kivo_ui;

namespace {

KeyEvent key(Key k, bool shift = false, bool ctrl = false) {
  KeyEvent e;
  e.key = k;
  e.mods.shift = shift;
  e.mods.ctrl = ctrl;
  return e;
}
KeyEvent ctrl_char(char32_t c, bool shift = false) {
  KeyEvent e;
  e.key = Key::Character;
  e.character = c;
  e.mods.ctrl = true;
  e.mods.shift = shift;
  return e;
}
void type(TextInput& in, const std::string& s) {
  for (char c : s) in.handle_event(TextInputEvent{std::string(1, c)});
}

struct Field : ::testing::Test {
  TextInput input{14.f, true};
  void SetUp() override {
    input.apply_layout_external({0, 0, 400, 120});
    input.set_focused(true);
    input.set_mention_candidates({{"u_ana", "Ana Lima", Color::rgb(0x3366cc)},
                                  {"u_ben", "Ben Okafor", Color::rgb(0x22aa66)},
                                  {"u_bot", "Scribe", Color::rgb(0x884488), true},
                                  {"u_and", "Anders Berg", Color::rgb(0xcc6633)}});
  }
};

}  // namespace

TEST_F(Field, TypingMarksDirtyOnceAndSetTextDoesNot) {
  type(input, "hi");
  EXPECT_EQ(input.text(), "hi");
  EXPECT_TRUE(input.take_dirty());
  EXPECT_FALSE(input.take_dirty());
  input.set_text("from the draft");
  EXPECT_FALSE(input.take_dirty());
  EXPECT_EQ(input.cursor_pos(), input.text().size());
}

TEST_F(Field, EnterSubmitsAndShiftEnterBreaksTheLine) {
  type(input, "a");
  auto r = input.handle_event(key(Key::Enter));
  EXPECT_TRUE(r.submitted);
  EXPECT_EQ(input.text(), "a");
  r = input.handle_event(key(Key::Enter, true));
  EXPECT_FALSE(r.submitted);
  EXPECT_EQ(input.text(), "a\n");
}

TEST_F(Field, ClipboardCutCopyPasteAndUndo) {
  clipboard::install({});
  input.set_text("alpha beta");
  input.handle_event(ctrl_char('a'));
  input.handle_event(ctrl_char('c'));
  EXPECT_EQ(clipboard::get_text(), "alpha beta");
  input.set_selection(0, 6);
  input.handle_event(ctrl_char('x'));
  EXPECT_EQ(input.text(), "beta");
  input.handle_event(key(Key::End, false, true));
  input.handle_event(ctrl_char('v'));
  EXPECT_EQ(input.text(), "betaalpha ");
  input.handle_event(ctrl_char('z'));
  EXPECT_EQ(input.text(), "beta");
  input.handle_event(ctrl_char('z', true));
  EXPECT_EQ(input.text(), "betaalpha ");
}

TEST_F(Field, UnfocusedFieldIgnoresKeysAndText) {
  input.set_focused(false);
  type(input, "x");
  EXPECT_EQ(input.text(), "");
  EXPECT_FALSE(input.handle_event(key(Key::Backspace)).consumed);
}

TEST_F(Field, CompositionShowsPreeditUntilCommitted) {
  input.handle_event(CompositionEvent{"にほ", 6});
  EXPECT_EQ(input.text(), "");
  EXPECT_EQ(input.preedit(), "にほ");
  input.handle_event(TextInputEvent{"日本"});
  EXPECT_EQ(input.text(), "日本");
  EXPECT_EQ(input.preedit(), "");
}

TEST_F(Field, SemanticActionsEditTheText) {
  input.set_text("hello world");
  EXPECT_TRUE(input.perform_action({SemanticKind::SetSelection, "", "", 6, 11}));
  EXPECT_TRUE(input.perform_action({SemanticKind::ReplaceSelection, "", "there"}));
  EXPECT_EQ(input.text(), "hello there");
  EXPECT_TRUE(input.take_dirty());
  EXPECT_TRUE(input.perform_action({SemanticKind::Undo}));
  EXPECT_EQ(input.text(), "hello world");
}

TEST_F(Field, PointerPressPlacesTheCaret) {
  input.set_text("abc def");
  PointerButtonEvent press;
  press.pos = {2, 15};  // before the first letter
  input.handle_event(press);
  EXPECT_EQ(input.cursor_pos(), 0u);
  press.pos = {399, 15};  // right of the text
  input.handle_event(press);
  EXPECT_EQ(input.cursor_pos(), 7u);
}

TEST_F(Field, AtOpensPopupFilteredAsTheUserTypes) {
  struct Case {
    std::string typed;
    std::vector<std::string> names;
  } cases[] = {
      {"@", {"Ana Lima", "Ben Okafor", "Scribe", "Anders Berg"}},
      {"@an", {"Ana Lima", "Anders Berg"}},
      {"@LIM", {"Ana Lima"}},   // a later word of the name, any case
      {"@zz", {}},
      {"mail@an", {}},          // inside a word: no popup
  };
  for (const auto& c : cases) {
    input.set_text("");
    type(input, c.typed);
    std::vector<std::string> got;
    for (const auto* p : input.mention_matches()) got.push_back(p->name);
    EXPECT_EQ(got, c.names) << c.typed;
    EXPECT_EQ(input.mention_popup_open(), !c.names.empty()) << c.typed;
  }
}

TEST_F(Field, PopupChoosesWithArrowsAndEnterAndClosesWithEscape) {
  type(input, "hi @an");
  input.handle_event(key(Key::Down));
  EXPECT_EQ(input.mention_selected(), 1u);
  auto r = input.handle_event(key(Key::Enter));
  EXPECT_FALSE(r.submitted);  // Enter chose, it did not send
  EXPECT_EQ(input.text(), "hi @Anders Berg ");
  EXPECT_FALSE(input.mention_popup_open());

  input.set_text("");
  type(input, "@s");
  input.handle_event(key(Key::Escape));
  EXPECT_FALSE(input.mention_popup_open());
  type(input, "c");  // stays closed for the same "@"
  EXPECT_FALSE(input.mention_popup_open());
  input.handle_event(key(Key::Tab));  // Tab with no popup is not the field's
  EXPECT_EQ(input.text(), "@sc");
}

TEST_F(Field, TabChoosesTheHighlightedPerson) {
  type(input, "@b");
  input.handle_event(key(Key::Tab));
  EXPECT_EQ(input.text(), "@Ben Okafor ");
}
