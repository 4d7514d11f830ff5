#include <gtest/gtest.h>

#include "runtime/ui/text_edit_buffer.h"
#include "runtime/ui/utf8.h"

using kivo_ui::TextEditBuffer;
namespace utf8 = kivo_ui::utf8;

TEST(Utf8, CaretStepsOverWholeCharacters) {
  struct Case {
    std::string text;
    std::vector<size_t> stops;  // every caret position from the start
  } cases[] = {
      {"ab", {0, 1, 2}},
      {"é!", {0, 2, 3}},                                          // two-byte letter
      {"e\xCC\x81x", {0, 3, 4}},                                 // e + combining acute
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD.", {0, 8, 9}},           // thumbs up + skin tone
      {"\xE2\x9D\xA4\xEF\xB8\x8F", {0, 6}},                       // heart + VS16
      {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", {0, 11}},  // woman technologist (ZWJ)
  };
  for (const auto& c : cases) {
    std::vector<size_t> forward{0}, backward{c.text.size()};
    for (size_t i = 0; i < c.text.size();) forward.push_back(i = utf8::next_char(c.text, i));
    for (size_t i = c.text.size(); i > 0;) backward.insert(backward.begin(), i = utf8::prev_char(c.text, i));
    EXPECT_EQ(forward, c.stops) << c.text;
    EXPECT_EQ(backward, c.stops) << c.text;
  }
}

TEST(Utf8, MalformedBytesDoNotTrapTheCaret) {
  std::string bad = "a\xFF\xC3";  // stray byte and a cut two-byte sequence
  size_t i = 0, steps = 0;
  while (i < bad.size() && steps < 10) i = utf8::next_char(bad, i), ++steps;
  EXPECT_EQ(i, bad.size());
  EXPECT_EQ(steps, 3u);
}

TEST(TextEditBuffer, WordMoves) {
  TextEditBuffer b;
  b.set_text("hello, big world");
  b.set_cursor(0);
  b.move_right(true, false);
  EXPECT_EQ(b.cursor(), 5u);  // end of "hello"
  b.move_right(true, false);
  EXPECT_EQ(b.cursor(), 10u);  // end of "big"
  b.move_left(true, false);
  EXPECT_EQ(b.cursor(), 7u);  // start of "big"
  b.move_left(true, true);
  EXPECT_EQ(b.cursor(), 0u);
  EXPECT_EQ(b.selected_text(), "hello, ");
}

TEST(TextEditBuffer, SelectionIsReplacedByTyping) {
  TextEditBuffer b;
  b.set_text("one two three");
  b.set_selection(4, 7);
  b.insert("2");
  EXPECT_EQ(b.text(), "one 2 three");
  EXPECT_EQ(b.cursor(), 5u);
  EXPECT_FALSE(b.has_selection());
}

TEST(TextEditBuffer, ShiftMovesExtendAndPlainMovesCollapse) {
  TextEditBuffer b;
  b.set_text("abcdef");
  b.set_cursor(2);
  b.move_right(false, true);
  b.move_right(false, true);
  EXPECT_EQ(b.selection(), std::make_pair(size_t(2), size_t(4)));
  b.move_left(false, false);  // collapses to the selection's start
  EXPECT_EQ(b.cursor(), 2u);
  EXPECT_FALSE(b.has_selection());
}

TEST(TextEditBuffer, UndoGroupsTypingAndRestoresCaret) {
  TextEditBuffer b;
  for (const char* c : {"h", "e", "y"}) b.insert(c);
  b.set_cursor(0);
  b.insert(">");
  EXPECT_EQ(b.text(), ">hey");
  ASSERT_TRUE(b.undo());
  EXPECT_EQ(b.text(), "hey");
  EXPECT_EQ(b.cursor(), 0u);
  ASSERT_TRUE(b.undo());
  EXPECT_EQ(b.text(), "");
  EXPECT_FALSE(b.undo());
  ASSERT_TRUE(b.redo());
  EXPECT_EQ(b.text(), "hey");
}

TEST(TextEditBuffer, BackspaceRemovesAWholeEmojiAndCursorSnapsToCharacters) {
  TextEditBuffer b;
  b.set_text("ok \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
  b.backspace();
  EXPECT_EQ(b.text(), "ok ");
  b.set_text("é");
  b.set_cursor(1);  // inside the two bytes
  EXPECT_EQ(b.cursor(), 0u);
  b.backspace(true);
  EXPECT_EQ(b.text(), "é");
}

TEST(TextEditBuffer, LineStartAndEndUseTheLogicalLine) {
  TextEditBuffer b;
  b.set_text("first\nsecond line");
  b.set_cursor(9);
  b.move_line_start(false);
  EXPECT_EQ(b.cursor(), 6u);
  b.move_line_end(true);
  EXPECT_EQ(b.selected_text(), "second line");
}
