#include "runtime/ui/text_input.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>

#include "runtime/ui/avatar.h"
#include "runtime/ui/clipboard.h"
#include "runtime/ui/surface.h"
#include "runtime/ui/text_renderer.h"
#include "runtime/ui/utf8.h"

namespace kivo_ui {

namespace {

constexpr float kPopupWidth = 280, kPopupRow = 40, kPopupPad = 6;
constexpr size_t kPopupMaxRows = 6;
constexpr size_t kMentionQueryMax = 48;

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Names match by a prefix of the whole name or of any word in it, ignoring ASCII case.
bool name_matches(const MentionCandidate& p, const std::string& lower_query) {
  if (lower_query.empty()) return true;
  std::string name = ascii_lower(p.name);
  if (name.rfind(lower_query, 0) == 0) return true;
  for (size_t i = 1; i < name.size(); ++i)
    if (is_space(name[i - 1]) && name.compare(i, lower_query.size(), lower_query) == 0) return true;
  return ascii_lower(p.id).rfind(lower_query, 0) == 0;
}

std::string sanitize(std::string_view text, bool multiline) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\r') continue;
    if (c == '\n') {
      out += multiline ? '\n' : ' ';
      continue;
    }
    if (u < 0x20 && c != '\t') continue;
    out += c;
  }
  return out;
}

}  // namespace

TextInput::TextInput(float font_size, bool multiline) : m_font_size(font_size), m_multiline(multiline) {}

void TextInput::set_text(std::string_view text) {
  if (text == m_buffer.text()) return;
  m_buffer.set_text(text);
  m_preedit.clear();
  m_mention.reset();
  m_scroll_y = 0;
}

void TextInput::set_cursor_pos(size_t byte) {
  m_buffer.set_cursor(byte);
  update_mention();
  ensure_caret_visible();
}

void TextInput::insert_at_cursor(std::string_view text) {
  std::string before = m_buffer.text();
  m_buffer.insert(sanitize(text, m_multiline));
  TextInputResponse r;
  after_edit(r, before);
}

bool TextInput::take_dirty() {
  bool d = m_dirty;
  m_dirty = false;
  return d;
}

void TextInput::set_focused(bool focused) {
  if (focused == m_focused) return;
  m_focused = focused;
  if (!focused) {
    m_preedit.clear();
    m_dragging = false;
    m_mention.reset();
  }
}

std::string TextInput::display_text() const {
  if (m_preedit.empty()) return m_buffer.text();
  std::string s = m_buffer.text();
  s.insert(m_buffer.cursor(), m_preedit);
  return s;
}

size_t TextInput::display_index(size_t i) const { return i <= m_buffer.cursor() ? i : i + m_preedit.size(); }

size_t TextInput::text_index(size_t d) const {
  size_t c = m_buffer.cursor();
  if (d <= c) return d;
  if (d < c + m_preedit.size()) return c;
  return d - m_preedit.size();
}

float TextInput::wrap_width() const { return std::max(8.f, m_rect.w - 2 * m_pad_x); }

PangoLayout* TextInput::layout() const {
  return TextRenderer::shared().layout(display_text(), m_font_size, kWeightNormal, m_multiline ? wrap_width() : -1.f);
}

Point TextInput::text_origin() const { return {m_rect.x + m_pad_x, m_rect.y + m_pad_y - m_scroll_y}; }

float TextInput::content_height(float width) const {
  auto& tr = TextRenderer::shared();
  if (m_buffer.text().empty()) return tr.line_height(m_font_size);
  return std::max(tr.line_height(m_font_size), tr.measure_wrapped(m_buffer.text(), m_font_size, width).height);
}

size_t TextInput::index_at(Point p) const {
  PangoLayout* l = layout();
  Point o = text_origin();
  int index = 0, trailing = 0;
  pango_layout_xy_to_index(l, int((p.x - o.x) * PANGO_SCALE), int((p.y - o.y) * PANGO_SCALE), &index, &trailing);
  std::string shown = display_text();
  size_t i = std::min(size_t(std::max(index, 0)), shown.size());
  for (int k = 0; k < trailing && i < shown.size(); ++k) i = utf8::next_char(shown, i);
  return text_index(i);
}

Rect TextInput::caret_rect() const {
  PangoLayout* l = layout();
  PangoRectangle strong;
  size_t idx = display_index(m_buffer.cursor()) + size_t(std::clamp(m_preedit_cursor, 0, int(m_preedit.size())));
  pango_layout_get_cursor_pos(l, int(idx), &strong, nullptr);
  Point o = text_origin();
  float h = std::max(float(strong.height) / PANGO_SCALE, TextRenderer::shared().line_height(m_font_size));
  return {o.x + float(strong.x) / PANGO_SCALE, o.y + float(strong.y) / PANGO_SCALE, 1.6f, h};
}

void TextInput::move_vertically(int lines, bool extend) {
  Rect c = caret_rect();
  float target_y = c.y + c.h / 2 + float(lines) * c.h;
  Point o = text_origin();
  PangoRectangle logical;
  pango_layout_get_extents(layout(), nullptr, &logical);
  float height = float(logical.height) / PANGO_SCALE;
  if (target_y < o.y) {
    m_buffer.set_cursor(0, extend);
  } else if (target_y > o.y + height) {
    m_buffer.set_cursor(m_buffer.text().size(), extend);
  } else {
    m_buffer.set_cursor(index_at({c.x, target_y}), extend);
  }
}

void TextInput::move_visual_line_edge(bool end, bool extend) {
  if (!m_multiline) {
    m_buffer.set_cursor(end ? m_buffer.text().size() : 0, extend);
    return;
  }
  PangoLayout* l = layout();
  int line_no = 0, x = 0;
  pango_layout_index_to_line_x(l, int(display_index(m_buffer.cursor())), 0, &line_no, &x);
  PangoLayoutLine* line = pango_layout_get_line_readonly(l, line_no);
  if (!line) return;
  size_t start = text_index(size_t(line->start_index));
  size_t stop = text_index(size_t(line->start_index + line->length));
  const std::string& t = m_buffer.text();
  // A wrapped line ends before its trailing space so that End stays on the same visual line.
  if (end && stop > start && stop < t.size() && t[stop - 1] == ' ') --stop;
  m_buffer.set_cursor(end ? stop : start, extend);
}

void TextInput::ensure_caret_visible() {
  if (m_rect.h <= 0) return;
  Rect c = caret_rect();
  float top = m_rect.y + m_pad_y, bottom = m_rect.bottom() - m_pad_y;
  if (c.y < top) m_scroll_y -= top - c.y;
  if (c.bottom() > bottom) m_scroll_y += c.bottom() - bottom;
  float max_scroll = std::max(0.f, content_height(wrap_width()) - (m_rect.h - 2 * m_pad_y));
  m_scroll_y = std::clamp(m_scroll_y, 0.f, max_scroll);
}

void TextInput::after_edit(TextInputResponse& r, const std::string& before) {
  if (m_buffer.text() != before) {
    m_dirty = true;
    r.changed = true;
  }
  update_mention();
  ensure_caret_visible();
}

void TextInput::update_mention() {
  const std::string& t = m_buffer.text();
  size_t c = m_buffer.cursor();
  MentionState found;
  bool have = false;
  if (m_focused && !m_buffer.has_selection() && !m_people.empty()) {
    size_t lo = c > kMentionQueryMax ? c - kMentionQueryMax : 0;
    for (size_t i = c; i > lo;) {
      --i;
      char ch = t[i];
      if (ch == '\n') break;
      if (ch == '@') {
        bool starts_token = i == 0 || is_space(t[i - 1]) || t[i - 1] == '(';
        std::string query = t.substr(i + 1, c - i - 1);
        // A query ends at a double space or after three words.
        size_t spaces = size_t(std::count(query.begin(), query.end(), ' '));
        if (starts_token && query.find("  ") == std::string::npos && spaces <= 2 &&
            !(query.empty() == false && query[0] == ' ')) {
          found.at = i;
          found.query = query;
          std::string lq = ascii_lower(query);
          for (size_t p = 0; p < m_people.size() && found.matches.size() < 8; ++p)
            if (name_matches(m_people[p], lq)) found.matches.push_back(p);
          have = true;
        }
        break;
      }
    }
  }
  if (have && m_mention_dismissed_at == found.at) have = false;
  if (!have) {
    if (!m_mention || m_mention_dismissed_at != m_mention->at) m_mention_dismissed_at.reset();
    m_mention.reset();
    return;
  }
  if (m_mention && m_mention->at == found.at && m_mention->query == found.query) found.selected = m_mention->selected;
  found.selected = std::min(found.selected, found.matches.empty() ? 0 : found.matches.size() - 1);
  m_mention = std::move(found);
}

std::vector<const MentionCandidate*> TextInput::mention_matches() const {
  std::vector<const MentionCandidate*> out;
  if (m_mention)
    for (size_t i : m_mention->matches) out.push_back(&m_people[i]);
  return out;
}

void TextInput::choose_mention(size_t match) {
  if (!m_mention || match >= m_mention->matches.size()) return;
  const MentionCandidate& p = m_people[m_mention->matches[match]];
  size_t at = m_mention->at;
  std::string before = m_buffer.text();
  m_buffer.set_selection(at, m_buffer.cursor());
  m_buffer.insert("@" + p.name + " ");
  m_mention.reset();
  m_dirty = m_dirty || m_buffer.text() != before;
  ensure_caret_visible();
}

Rect TextInput::mention_popup_rect() const {
  size_t rows = m_mention ? std::min(m_mention->matches.size(), kPopupMaxRows) : 0;
  float h = kPopupPad * 2 + kPopupRow * float(rows);
  Rect caret = caret_rect();
  float x = std::max(m_rect.x, std::min(caret.x - 24, m_rect.right() - kPopupWidth));
  float y = m_rect.y - h - 6;
  if (y < 0) y = m_rect.bottom() + 6;
  return {std::max(0.f, x), y, kPopupWidth, h};
}

TextInputResponse TextInput::handle_key(const KeyEvent& k) {
  TextInputResponse r;
  if (!k.pressed || !m_focused) return r;
  const std::string before = m_buffer.text();
  bool shift = k.mods.shift, ctrl = k.mods.ctrl;

  if (mention_popup_open()) {
    size_t n = m_mention->matches.size();
    switch (k.key) {
      case Key::Up: m_mention->selected = (m_mention->selected + n - 1) % n; return {true, false, false};
      case Key::Down: m_mention->selected = (m_mention->selected + 1) % n; return {true, false, false};
      case Key::Enter:
      case Key::Tab:
        choose_mention(m_mention->selected);
        r.consumed = true;
        r.changed = m_buffer.text() != before;
        return r;
      case Key::Escape:
        m_mention_dismissed_at = m_mention->at;
        m_mention.reset();
        return {true, false, false};
      default: break;
    }
  }

  r.consumed = true;
  switch (k.key) {
    case Key::Enter:
      if (m_multiline && shift) {
        m_buffer.insert("\n");
      } else {
        r.submitted = true;
        return r;
      }
      break;
    case Key::Backspace: m_buffer.backspace(ctrl); break;
    case Key::Delete: m_buffer.delete_forward(ctrl); break;
    case Key::Left: m_buffer.move_left(ctrl, shift); break;
    case Key::Right: m_buffer.move_right(ctrl, shift); break;
    case Key::Up:
      if (!m_multiline) return {};
      move_vertically(-1, shift);
      break;
    case Key::Down:
      if (!m_multiline) return {};
      move_vertically(1, shift);
      break;
    case Key::Home:
      if (ctrl) m_buffer.set_cursor(0, shift);
      else move_visual_line_edge(false, shift);
      break;
    case Key::End:
      if (ctrl) m_buffer.set_cursor(m_buffer.text().size(), shift);
      else move_visual_line_edge(true, shift);
      break;
    case Key::Character:
    case Key::Space:
      if (!ctrl || k.mods.alt) break;  // plain characters arrive as text input events
      switch (k.character) {
        case 'a': m_buffer.select_all(); break;
        case 'c':
          if (m_buffer.has_selection()) clipboard::set_text(m_buffer.selected_text());
          break;
        case 'x':
          if (m_buffer.has_selection()) {
            clipboard::set_text(m_buffer.selected_text());
            m_buffer.delete_selection();
          }
          break;
        case 'v': {
          std::string pasted = sanitize(clipboard::get_text(), m_multiline);
          if (!pasted.empty()) m_buffer.insert(pasted);
          break;
        }
        case 'z':
          if (shift) m_buffer.redo();
          else m_buffer.undo();
          break;
        case 'y': m_buffer.redo(); break;
        default: r.consumed = false;
      }
      break;
    default:
      r.consumed = false;  // Escape, Tab, function keys: the owner decides
  }
  after_edit(r, before);
  return r;
}

TextInputResponse TextInput::handle_event(const Event& event) {
  TextInputResponse r;
  if (auto* k = std::get_if<KeyEvent>(&event)) return handle_key(*k);
  if (auto* t = std::get_if<TextInputEvent>(&event)) {
    if (!m_focused) return r;
    std::string before = m_buffer.text();
    m_preedit.clear();
    std::string clean = sanitize(t->text, m_multiline);
    if (!clean.empty()) m_buffer.insert(clean);
    r.consumed = true;
    after_edit(r, before);
    return r;
  }
  if (auto* c = std::get_if<CompositionEvent>(&event)) {
    if (!m_focused) return r;
    m_preedit = sanitize(c->text, false);
    m_preedit_cursor = std::clamp(c->cursor, 0, int(m_preedit.size()));
    r.consumed = true;
    return r;
  }
  if (auto* b = std::get_if<PointerButtonEvent>(&event)) {
    if (b->button != PointerButton::Primary) return r;
    if (b->pressed && mention_popup_open() && mention_popup_rect().contains(b->pos)) {
      std::string before = m_buffer.text();
      size_t row = size_t((b->pos.y - mention_popup_rect().y - kPopupPad) / kPopupRow);
      choose_mention(std::min(row, m_mention->matches.size() - 1));
      r.consumed = true;
      r.changed = m_buffer.text() != before;
      return r;
    }
    if (!b->pressed) {
      r.consumed = m_dragging;
      m_dragging = false;
      return r;
    }
    if (!m_rect.contains(b->pos)) return r;
    m_focused = true;
    m_preedit.clear();
    size_t at = index_at(b->pos);
    if (b->clicks >= 3)
      m_buffer.select_all();
    else if (b->clicks == 2)
      m_buffer.select_word_at(at);
    else
      m_buffer.set_cursor(at, b->mods.shift);
    m_dragging = b->clicks == 1;
    update_mention();
    r.consumed = true;
    return r;
  }
  if (auto* m = std::get_if<PointerMoveEvent>(&event)) {
    if (mention_popup_open() && mention_popup_rect().contains(m->pos)) {
      size_t row = size_t((m->pos.y - mention_popup_rect().y - kPopupPad) / kPopupRow);
      m_mention->selected = std::min(row, m_mention->matches.size() - 1);
    }
    if (!m_dragging) return r;
    m_buffer.set_cursor(index_at(m->pos), true);
    ensure_caret_visible();
    r.consumed = true;
    return r;
  }
  if (auto* w = std::get_if<WheelEvent>(&event)) {
    if (!m_rect.contains(w->pos)) return r;
    float max_scroll = std::max(0.f, content_height(wrap_width()) - (m_rect.h - 2 * m_pad_y));
    if (max_scroll <= 0) return r;
    float delta = w->precise ? w->dy : w->dy * 3 * TextRenderer::shared().line_height(m_font_size);
    m_scroll_y = std::clamp(m_scroll_y - delta, 0.f, max_scroll);
    r.consumed = true;
    return r;
  }
  if (auto* f = std::get_if<FocusEvent>(&event); f && !f->focused) {
    m_dragging = false;
    m_preedit.clear();
  }
  return r;
}

bool TextInput::perform_action(const SemanticAction& a) {
  std::string before = m_buffer.text();
  TextInputResponse r;
  switch (a.kind) {
    case SemanticKind::Focus: m_focused = true; return true;
    case SemanticKind::SetValue: m_buffer.set_text(sanitize(a.value, m_multiline), true); break;
    case SemanticKind::ReplaceSelection: m_buffer.insert(sanitize(a.value, m_multiline)); break;
    case SemanticKind::SetSelection: m_buffer.set_selection(a.start, a.end); break;
    case SemanticKind::SelectAll: m_buffer.select_all(); break;
    case SemanticKind::Copy:
      if (!m_buffer.has_selection()) return false;
      clipboard::set_text(m_buffer.selected_text());
      return true;
    case SemanticKind::Cut:
      if (!m_buffer.has_selection()) return false;
      clipboard::set_text(m_buffer.selected_text());
      m_buffer.delete_selection();
      break;
    case SemanticKind::Paste: m_buffer.insert(sanitize(clipboard::get_text(), m_multiline)); break;
    case SemanticKind::Undo:
      if (!m_buffer.undo()) return false;
      break;
    case SemanticKind::Redo:
      if (!m_buffer.redo()) return false;
      break;
    default: return false;
  }
  after_edit(r, before);
  return true;
}

void TextInput::draw(Canvas& canvas) {
  const Theme& t = canvas.theme();
  if (m_rect.empty()) return;
  cairo_t* cr = canvas.cairo();
  canvas.push_clip(m_rect);
  Point o = text_origin();
  if (m_buffer.text().empty() && m_preedit.empty()) {
    if (!m_placeholder.empty()) {
      if (m_multiline)
        canvas.text_wrapped(m_placeholder, {o.x, m_rect.y + m_pad_y}, m_font_size, t.muted_text, wrap_width());
      else
        canvas.text_truncated(m_placeholder, {o.x, m_rect.y + m_pad_y}, m_font_size, t.muted_text, wrap_width());
    }
  } else {
    PangoLayout* l = layout();
    auto paint_range = [&](size_t from, size_t to, Color color, bool underline) {
      PangoLayoutIter* it = pango_layout_get_iter(l);
      do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(it, &y0, &y1);
        int* ranges = nullptr;
        int n = 0;
        int s = std::max(int(from), line->start_index), e = std::min(int(to), line->start_index + line->length);
        bool newline_selected = int(to) > line->start_index + line->length && int(from) <= line->start_index + line->length;
        if (s < e || newline_selected) {
          pango_layout_line_get_x_ranges(line, std::min(s, e), std::max(s, e), &ranges, &n);
          for (int i = 0; i < n; ++i) {
            float x0 = o.x + float(ranges[2 * i]) / PANGO_SCALE, x1 = o.x + float(ranges[2 * i + 1]) / PANGO_SCALE;
            if (newline_selected && i == n - 1) x1 += m_font_size * 0.35f;  // shows the selected line break
            float top = o.y + float(y0) / PANGO_SCALE, bottom = o.y + float(y1) / PANGO_SCALE;
            if (underline)
              canvas.fill_rect({x0, bottom - 2, x1 - x0, 1.2f}, color);
            else
              canvas.fill_rect({x0, top, std::max(1.f, x1 - x0), bottom - top}, color);
          }
          g_free(ranges);
        }
      } while (pango_layout_iter_next_line(it));
      pango_layout_iter_free(it);
    };
    if (m_buffer.has_selection()) {
      auto [a, b] = m_buffer.selection();
      Color sel = m_focused ? t.primary.with_alpha(t.is_dark() ? 0.45f : 0.28f) : t.accent.with_alpha(0.25f);
      paint_range(display_index(a), display_index(b), sel, false);
    }
    cairo_save(cr);
    cairo_set_source_rgba(cr, t.text.r, t.text.g, t.text.b, t.text.a);
    cairo_move_to(cr, o.x, o.y);
    pango_cairo_show_layout(cr, l);
    cairo_restore(cr);
    if (!m_preedit.empty()) {
      size_t at = m_buffer.cursor();
      paint_range(at, at + m_preedit.size(), t.text, true);
    }
  }
  if (m_focused) {
    Rect c = caret_rect();
    canvas.fill_rect({c.x - 0.4f, c.y + 1, 1.6f, c.h - 2}, t.is_dark() ? t.text : t.primary);
  }
  canvas.pop_clip();
}

void TextInput::draw_popups(Canvas& canvas) {
  if (!m_focused || !mention_popup_open()) return;
  const Theme& t = canvas.theme();
  Rect box = mention_popup_rect();
  surface::popover(canvas, box, 10);
  auto& tr = TextRenderer::shared();
  size_t rows = std::min(m_mention->matches.size(), kPopupMaxRows);
  size_t first = m_mention->selected >= rows ? m_mention->selected - rows + 1 : 0;
  for (size_t row = 0; row < rows; ++row) {
    size_t i = first + row;
    const MentionCandidate& p = m_people[m_mention->matches[i]];
    Rect r{box.x + kPopupPad, box.y + kPopupPad + kPopupRow * float(row), box.w - 2 * kPopupPad, kPopupRow};
    if (i == m_mention->selected) canvas.fill_rounded_rect(r, 7, t.lift(t.accent, 0.72f));
    std::string initials = p.initials.empty() ? Avatar::initials_for_name(p.name) : p.initials;
    Avatar::draw(canvas, {r.x + 18, r.y + r.h / 2}, 12, initials, p.color);
    float name_x = r.x + 40;
    float lh = tr.line_height(13.5f, 2);
    float marker_w = 0;
    if (p.is_agent && !m_agent_marker.empty()) marker_w = tr.measure(m_agent_marker, 11) + 14;
    float name_room = r.right() - name_x - 8 - (marker_w > 0 ? marker_w + 6 : 0);
    canvas.text_truncated(p.name, {name_x, r.y + (r.h - lh) / 2}, 13.5f, t.text, name_room, 2);
    if (marker_w > 0) {
      float nx = name_x + std::min(tr.measure_weighted(p.name, 13.5f, 2), name_room) + 6;
      Rect pill{nx, r.y + r.h / 2 - 9, marker_w, 18};
      canvas.fill_rounded_rect(pill, 9, t.lift(t.accent, 0.55f));
      canvas.text_centered(m_agent_marker, pill, 11, t.muted_text);
    }
  }
}

}  // namespace kivo_ui
