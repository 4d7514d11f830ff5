#include "runtime/ui/text_edit_buffer.h"

#include <algorithm>

#include "runtime/ui/utf8.h"

namespace kivo_ui {

std::pair<size_t, size_t> TextEditBuffer::selection() const {
  return {std::min(m_cursor, m_anchor), std::max(m_cursor, m_anchor)};
}

std::string TextEditBuffer::selected_text() const {
  auto [a, b] = selection();
  return m_text.substr(a, b - a);
}

void TextEditBuffer::remember(EditKind kind) {
  // Consecutive typing (or deleting) is one undo step; anything else starts a new one.
  if (kind != EditKind::Other && kind == m_last) return;
  m_undo.push_back({m_text, m_cursor, m_anchor});
  if (m_undo.size() > kMaxUndo) m_undo.erase(m_undo.begin());
  m_redo.clear();
  m_last = kind;
}

void TextEditBuffer::set_text(std::string_view text, bool record_undo) {
  if (text == m_text) return;
  if (record_undo)
    remember(EditKind::Other);
  else {
    m_undo.clear();
    m_redo.clear();
  }
  m_text.assign(text);
  m_cursor = m_anchor = m_text.size();
  m_last = EditKind::None;
}

void TextEditBuffer::set_cursor(size_t pos, bool extend) {
  m_cursor = utf8::floor_boundary(m_text, std::min(pos, m_text.size()));
  if (!extend) m_anchor = m_cursor;
  m_last = EditKind::None;
}

void TextEditBuffer::set_selection(size_t anchor, size_t cursor) {
  m_anchor = utf8::floor_boundary(m_text, std::min(anchor, m_text.size()));
  m_cursor = utf8::floor_boundary(m_text, std::min(cursor, m_text.size()));
  m_last = EditKind::None;
}

void TextEditBuffer::select_all() { set_selection(0, m_text.size()); }

void TextEditBuffer::select_word_at(size_t pos) {
  pos = utf8::floor_boundary(m_text, std::min(pos, m_text.size()));
  size_t start = pos, end = pos;
  auto word_at = [&](size_t i) {
    size_t k = i;
    return i < m_text.size() && utf8::is_word_char(utf8::decode(m_text, k));
  };
  if (!word_at(pos)) {
    set_selection(pos, utf8::next_char(m_text, pos));
    return;
  }
  while (start > 0 && word_at(utf8::prev_char(m_text, start))) start = utf8::prev_char(m_text, start);
  while (end < m_text.size() && word_at(end)) end = utf8::next_char(m_text, end);
  set_selection(start, end);
}

void TextEditBuffer::replace(size_t start, size_t end, std::string_view with) {
  m_text.replace(start, end - start, with);
  m_cursor = m_anchor = start + with.size();
}

void TextEditBuffer::insert(std::string_view text) {
  if (text.empty() && !has_selection()) return;
  bool plain_typing = !has_selection() && text.size() <= 4 && text != "\n";
  remember(plain_typing ? EditKind::Typing : EditKind::Other);
  auto [a, b] = selection();
  replace(a, b, text);
  if (!plain_typing) m_last = EditKind::Other;
}

void TextEditBuffer::delete_selection() {
  if (!has_selection()) return;
  remember(EditKind::Other);
  auto [a, b] = selection();
  replace(a, b, "");
}

void TextEditBuffer::backspace(bool word) {
  if (has_selection()) return delete_selection();
  if (m_cursor == 0) return;
  size_t from = word ? utf8::prev_word(m_text, m_cursor) : utf8::prev_char(m_text, m_cursor);
  remember(word ? EditKind::Other : EditKind::Deleting);
  replace(from, m_cursor, "");
}

void TextEditBuffer::delete_forward(bool word) {
  if (has_selection()) return delete_selection();
  if (m_cursor >= m_text.size()) return;
  size_t to = word ? utf8::next_word(m_text, m_cursor) : utf8::next_char(m_text, m_cursor);
  remember(word ? EditKind::Other : EditKind::Deleting);
  size_t at = m_cursor;
  replace(at, to, "");
}

void TextEditBuffer::move_left(bool word, bool extend) {
  if (has_selection() && !extend && !word) return set_cursor(selection().first);
  set_cursor(word ? utf8::prev_word(m_text, m_cursor) : utf8::prev_char(m_text, m_cursor), extend);
}

void TextEditBuffer::move_right(bool word, bool extend) {
  if (has_selection() && !extend && !word) return set_cursor(selection().second);
  set_cursor(word ? utf8::next_word(m_text, m_cursor) : utf8::next_char(m_text, m_cursor), extend);
}

void TextEditBuffer::move_line_start(bool extend) {
  size_t nl = m_cursor == 0 ? std::string::npos : m_text.rfind('\n', m_cursor - 1);
  set_cursor(nl == std::string::npos ? 0 : nl + 1, extend);
}

void TextEditBuffer::move_line_end(bool extend) {
  size_t nl = m_text.find('\n', m_cursor);
  set_cursor(nl == std::string::npos ? m_text.size() : nl, extend);
}

bool TextEditBuffer::undo() {
  if (m_undo.empty()) return false;
  m_redo.push_back({m_text, m_cursor, m_anchor});
  Snapshot s = std::move(m_undo.back());
  m_undo.pop_back();
  m_text = std::move(s.text);
  m_cursor = s.cursor;
  m_anchor = s.anchor;
  m_last = EditKind::None;
  return true;
}

bool TextEditBuffer::redo() {
  if (m_redo.empty()) return false;
  m_undo.push_back({m_text, m_cursor, m_anchor});
  Snapshot s = std::move(m_redo.back());
  m_redo.pop_back();
  m_text = std::move(s.text);
  m_cursor = s.cursor;
  m_anchor = s.anchor;
  m_last = EditKind::None;
  return true;
}

}  // namespace kivo_ui
