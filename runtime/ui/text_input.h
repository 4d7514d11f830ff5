// TextInput: an editable multi-line text field: caret and selection by keyboard and pointer,
// word moves, undo, the system clipboard, IME composition, a placeholder, and an "@" completion
// popup over the people it was given.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/canvas.h"
#include "runtime/ui/event.h"
#include "runtime/ui/semantic_action.h"
#include "runtime/ui/text_edit_buffer.h"

typedef struct _PangoLayout PangoLayout;

namespace kivo_ui {

// A person the "@" popup offers.
struct MentionCandidate {
  std::string id;
  std::string name;
  Color color;
  bool is_agent = false;
  std::string initials;  // empty: derived from the name
};

// What an event did to the field.
struct TextInputResponse {
  bool consumed = false;
  bool submitted = false;  // Enter without Shift (and no popup choice)
  bool changed = false;    // the text changed
};

class TextInput {
public:
  explicit TextInput(float font_size = 14.f, bool multiline = true);

  const std::string& text() const { return m_buffer.text(); }
  void set_text(std::string_view text);  // caret to the end; no change (and no dirt) when equal
  void set_placeholder(std::string placeholder) { m_placeholder = std::move(placeholder); }
  const std::string& placeholder() const { return m_placeholder; }
  void set_cursor_pos(size_t byte);  // clamped, snapped to a character start; clears the selection
  size_t cursor_pos() const { return m_buffer.cursor(); }
  void set_selection(size_t anchor, size_t cursor) { m_buffer.set_selection(anchor, cursor); }
  std::pair<size_t, size_t> selection() const { return m_buffer.selection(); }
  void insert_at_cursor(std::string_view text);
  bool take_dirty();  // whether the text changed since the last call
  void set_local_author(std::string author) { m_local_author = std::move(author); }
  const std::string& local_author() const { return m_local_author; }
  void set_focused(bool focused);
  bool focused() const { return m_focused; }
  void set_font_size(float size) { m_font_size = size; }
  float font_size() const { return m_font_size; }
  void set_padding(float x, float y) { m_pad_x = x, m_pad_y = y; }
  const std::string& preedit() const { return m_preedit; }

  // The "@" popup: the people it lists, and the marker shown beside an agent ("agent").
  void set_mention_candidates(std::vector<MentionCandidate> people) { m_people = std::move(people); update_mention(); }
  void set_agent_marker(std::string marker) { m_agent_marker = std::move(marker); }
  bool mention_popup_open() const { return m_mention.has_value() && !m_mention->matches.empty(); }
  std::vector<const MentionCandidate*> mention_matches() const;
  size_t mention_selected() const { return m_mention ? m_mention->selected : 0; }
  std::string mention_query() const { return m_mention ? m_mention->query : std::string(); }
  Rect mention_popup_rect() const;

  TextInputResponse handle_event(const Event& event);
  bool perform_action(const SemanticAction& action);  // text-editing semantic actions

  void apply_layout_external(Rect rect) { m_rect = rect; }
  Rect rect() const { return m_rect; }
  Rect caret_rect() const;                   // in window coordinates
  float content_height(float width) const;   // text height wrapped to width (without padding)

  void draw(Canvas& canvas);         // background-less: text, selection, caret, placeholder, preedit
  void draw_popups(Canvas& canvas);  // the "@" popup, above everything else

  TextEditBuffer& buffer() { return m_buffer; }

private:
  struct MentionState {
    size_t at = 0;  // byte offset of the "@"
    std::string query;
    std::vector<size_t> matches;  // indices into m_people
    size_t selected = 0;
  };

  std::string display_text() const;  // text with the preedit inserted at the caret
  size_t display_index(size_t text_index) const;
  size_t text_index(size_t display_index) const;
  PangoLayout* layout() const;
  float wrap_width() const;
  Point text_origin() const;
  size_t index_at(Point p) const;
  void move_vertically(int lines, bool extend);
  void move_visual_line_edge(bool end, bool extend);
  void ensure_caret_visible();
  void after_edit(TextInputResponse& r, const std::string& before);
  void update_mention();
  void choose_mention(size_t match);
  TextInputResponse handle_key(const KeyEvent& key);

  TextEditBuffer m_buffer;
  float m_font_size;
  bool m_multiline;
  std::string m_placeholder;
  std::string m_local_author;
  std::string m_preedit;
  int m_preedit_cursor = 0;
  bool m_focused = false;
  bool m_dirty = false;
  bool m_dragging = false;
  Rect m_rect;
  float m_pad_x = 10, m_pad_y = 8;
  float m_scroll_y = 0;

  std::vector<MentionCandidate> m_people;
  std::string m_agent_marker = "agent";
  std::optional<MentionState> m_mention;
  std::optional<size_t> m_mention_dismissed_at;  // Escape closed the popup for the "@" at this offset
};

}  // namespace kivo_ui
