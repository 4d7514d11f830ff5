// TextEditBuffer: the editing model behind TextInput: UTF-8 text, caret and selection anchor,
// character and word moves, and an undo history that groups runs of typing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo_ui {

class TextEditBuffer {
public:
  const std::string& text() const { return m_text; }
  size_t cursor() const { return m_cursor; }
  size_t anchor() const { return m_anchor; }
  bool has_selection() const { return m_cursor != m_anchor; }
  std::pair<size_t, size_t> selection() const;  // ordered [start, end)
  std::string selected_text() const;

  // Replaces the text; the caret goes to the end (or is kept when the text is unchanged). Undo
  // history is kept only when record_undo is set.
  void set_text(std::string_view text, bool record_undo = false);
  void set_cursor(size_t pos, bool extend = false);  // clamped to the text, snapped to a character
  void set_selection(size_t anchor, size_t cursor);
  void select_all();
  void select_word_at(size_t pos);

  void insert(std::string_view text);  // replaces the selection
  void backspace(bool word = false);
  void delete_forward(bool word = false);
  void delete_selection();

  void move_left(bool word, bool extend);
  void move_right(bool word, bool extend);
  void move_line_start(bool extend);  // start of the logical line
  void move_line_end(bool extend);
  void move_to(size_t pos, bool extend) { set_cursor(pos, extend); }

  bool undo();
  bool redo();
  bool can_undo() const { return !m_undo.empty(); }

private:
  enum class EditKind { None, Typing, Deleting, Other };
  struct Snapshot {
    std::string text;
    size_t cursor, anchor;
  };
  void remember(EditKind kind);
  void replace(size_t start, size_t end, std::string_view with);

  std::string m_text;
  size_t m_cursor = 0, m_anchor = 0;
  std::vector<Snapshot> m_undo, m_redo;
  EditKind m_last = EditKind::None;
  static constexpr size_t kMaxUndo = 200;
};

}  // namespace kivo_ui
