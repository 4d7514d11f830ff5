#include "runtime/ui/demo/demo_widget.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/ui/avatar.h"
#include "runtime/ui/surface.h"
#include "runtime/ui/text_renderer.h"

namespace kivo_ui::demo {

namespace {

constexpr const char* kPicture = "demo://picture";

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

std::vector<MentionCandidate> demo_people(const Theme& t) {
  return {{"u_ana", "Ana Lima", t.palette_color(0), false, ""},
          {"u_ben", "Ben Okafor", t.palette_color(3), false, ""},
          {"u_chloe", "Chloé Martin", t.palette_color(4), false, ""},
          {"u_dev", "Devi Rao", t.palette_color(5), false, ""},
          {"u_scribe", "Scribe", t.palette_color(2), true, ""},
          {"u_anders", "Anders Berg", t.palette_color(7), false, ""}};
}

}  // namespace

std::vector<uint8_t> demo_picture_png(int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgb(sky, 0, 0.29, 0.42, 0.86);
  cairo_pattern_add_color_stop_rgb(sky, 1, 0.95, 0.62, 0.45);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);
  cairo_set_source_rgb(cr, 1, 0.93, 0.6);
  cairo_arc(cr, w * 0.72, h * 0.36, h * 0.14, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.16, 0.24, 0.3);
  cairo_move_to(cr, 0, h);
  cairo_line_to(cr, w * 0.28, h * 0.5);
  cairo_line_to(cr, w * 0.5, h * 0.78);
  cairo_line_to(cr, w * 0.7, h * 0.58);
  cairo_line_to(cr, w, h * 0.9);
  cairo_line_to(cr, w, h);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_destroy(cr);
  std::vector<uint8_t> out;
  cairo_surface_write_to_png_stream(s, append_bytes, &out);
  cairo_surface_destroy(s);
  return out;
}

DemoWidget::DemoWidget() {
  ImageStoreConfig config;
  config.loader = [](const std::string& key) -> kivo::Result<std::vector<uint8_t>> {
    if (key == kPicture) return demo_picture_png(640, 400);
    return read_file_bytes(key, 64u << 20);
  };
  m_images = std::make_unique<ImageStore>(std::move(config));
  m_input.set_placeholder("Message #design");
  m_input.set_local_author("u_me");
  m_input.set_focused(true);
  m_input.set_mention_candidates(demo_people(Theme::light()));
  m_input.set_agent_marker("agent");
  m_second.set_placeholder("Rename channel…");
  m_disabled.disabled = true;
  m_menu.push(0, "Rename");
  m_menu.push(2, "Move up");
  m_menu.push(3, "Move down");
  m_menu.push(8, "Archive / unarchive");
  m_menu.push(1, "Delete", true);
}

void DemoWidget::prepare_showcase() {
  m_input.set_text("Shipping the composer on the shared TextInput — real caret, selection, and Ctrl+C/V 🎉\n"
                   "Enter sends, Shift+Enter for a new line.");
  const std::string& t = m_input.text();
  size_t start = t.find("selection");
  m_input.set_selection(start, start + std::string("selection").size());
  m_sent = {"Morning! The new grid is in 🚀", "Looks great 👍🏽 — shipping today?"};
  m_images->get(kPicture);
  m_images->block_until_idle(std::chrono::seconds(3));
  m_menu_pending = true;
}

void DemoWidget::sync(WidgetContext& ctx) {
  if (!m_wake_installed && ctx.wake.connected()) {
    m_images->set_on_loaded([wake = ctx.wake] { wake.wake(); });
    m_wake_installed = true;
  }
  if (m_first_sync) {
    m_first_sync = false;
    m_images->get(kPicture);
  }
  m_tooltip.tick(ctx.now);
}

void DemoWidget::apply_layout(WidgetContext& ctx, Rect bounds) {
  Widget::apply_layout(ctx, bounds);
  float left = bounds.x + 32, width = std::min(560.f, bounds.w * 0.5f);
  m_input_frame = {left, bounds.y + 150, width, 120};
  m_input.apply_layout_external(m_input_frame.inset(4));
  m_second_frame = {left, m_input_frame.bottom() + 16, width, 40};
  m_second.apply_layout_external(m_second_frame.inset(2));
  float by = m_second_frame.bottom() + 24, bx = left;
  for (Button* b : {&m_primary, &m_secondary, &m_danger, &m_disabled}) {
    float w = TextRenderer::shared().measure_weighted(b->label, b->text_size, b->weight) + 36;
    b->rect = {bx, by, w, 36};
    bx += w + 12;
  }
  float right = left + width + 40;
  m_image_rect = {right, bounds.y + 150, std::max(120.f, bounds.right() - right - 32), 240};
  m_toggle_rect = {right, m_image_rect.bottom() + 70, 160, 34};
  m_detach.rect = {m_toggle_rect.right() + 12, m_toggle_rect.y, 110, 34};
  m_floating.set_window_bounds(bounds);
  m_floating.set_attached_chrome({bounds.right() - 300, bounds.bottom() - 200, 270, 170});
  if (m_menu_pending) {
    m_menu.open_at_clamped({m_image_rect.x + 40, m_image_rect.y + 30}, bounds);
    m_menu_pending = false;
  }
}

void DemoWidget::open_menu(Point at) { m_menu.open_at_clamped(at, m_bounds); }

void DemoWidget::draw(WidgetContext& ctx, Canvas& canvas) {
  const Theme& t = canvas.theme();
  auto& tr = TextRenderer::shared();
  canvas.clear(t.window_bg);
  Rect b = m_bounds;

  canvas.text("Kivo UI toolkit", {b.x + 32, b.y + 28}, 26, t.text, 3);
  canvas.text("Inter for the interface, Noto Color Emoji for 😀 🎉 🚀 ❤️ 👍🏽 👩‍💻 🇫🇮", {b.x + 32, b.y + 68}, 16,
              t.muted_text);
  surface::separator(canvas, b.x + 32, b.right() - 32, b.y + 104);

  // Sent messages with avatars, a rich text line with a highlighted mention.
  float y = b.y + 118;
  std::vector<TextRun> runs = {{"Rich text: ", t.text},
                               {"@Ana Lima", Colors::with_contrast(t.palette_color(0), t.window_bg, 4.5f),
                                t.palette_color(0).with_alpha(0.16f), 2},
                               {" can review the ", t.text},
                               {"weighted", t.link_text, std::nullopt, 3},
                               {" runs ✨", t.text}};
  RichTextLayout rich = RichTextLayout::shape(runs, 14, 560);
  draw_rich(canvas, rich, {b.x + 32, y});

  // The composer frame and the focused text field.
  surface::card_outlined(canvas, m_input_frame, 12, t.field_bg, m_input.focused() ? t.primary : t.border,
                         m_input.focused() ? 1.6f : 1.f);
  m_input.draw(canvas);
  surface::card_outlined(canvas, m_second_frame, 8, t.field_bg, m_second.focused() ? t.primary : t.border, 1.f);
  m_second.draw(canvas);
  for (const Button* btn : {&m_primary, &m_secondary, &m_danger, &m_disabled}) btn->draw(canvas);

  // Avatars with presence.
  float ay = m_primary.rect.bottom() + 46;
  const char* names[] = {"Ana Lima", "Ben Okafor", "Chloé Martin", "Devi Rao", "Scribe"};
  Color presence[] = {Color::rgb(0x2fb36b), Color::rgb(0xe3a33b), Color::rgb(0xd4393b), Color::rgb(0x9aa0ab),
                      Color::rgb(0x2fb36b)};
  for (int i = 0; i < 5; ++i) {
    Point c{b.x + 52 + i * 56.f, ay};
    Avatar::draw(canvas, c, 20, Avatar::initials_for_name(names[i]), t.palette_color(i == 4 ? 2 : i * 2 + 1 == 1 ? 0 : i + 2),
                 presence[i]);
  }
  canvas.text("Sent:", {b.x + 32, ay + 40}, 12.5f, t.muted_text, 2);
  float sy = ay + 60;
  for (const auto& line : m_sent) {
    if (sy > b.bottom() - 24) break;
    canvas.text_truncated(line, {b.x + 32, sy}, 14, t.text, m_input_frame.w);
    sy += tr.line_height(14) + 4;
  }

  // The picture, painted to cover a rounded frame, with its caption.
  ImageRef picture = m_images->get(kPicture);
  if (picture) {
    surface::shadow(canvas, m_image_rect, 14, t.shadow.scale_alpha(0.6f), 12, 4);
    image_store::paint_image_cover(canvas, *picture, m_image_rect, 14);
  } else {
    surface::card(canvas, m_image_rect, 14, t.lift(t.accent, 0.35f));
    canvas.text_centered("🖼  Loading image…", m_image_rect, 14, t.muted_text);
  }
  char caption[96];
  std::snprintf(caption, sizeof caption, "🖼  picture.png  %d×%d · %s", picture ? picture->width : 0,
                picture ? picture->height : 0, format::bytes(picture ? picture->byte_size() : 0).c_str());
  canvas.text(caption, {m_image_rect.x, m_image_rect.bottom() + 10}, 12, t.muted_text);

  // A sliding panel driven by a Transition.
  Button toggle{m_panel.is_open() ? "Hide panel" : "Show panel", ButtonStyle::Secondary, m_toggle_rect};
  toggle.draw(canvas);
  m_detach.label = m_floating.is_detached() ? "Attach" : "Detach";
  m_detach.draw(canvas);
  float v = m_panel.value();
  if (v > 0.001f) {
    Rect panel{b.right() - 300 * v, b.y, 300, b.h};
    canvas.fill_rect(b, t.scrim.scale_alpha(0.35f * v));
    canvas.fill_rect(panel, t.panel_bg);
    surface::vertical_separator(canvas, panel.x, panel.y, panel.bottom());
    canvas.text("Panel", {panel.x + 16, panel.y + 16}, 15, t.text, 2);
    canvas.text_wrapped("Opened with Transition::set_open; the value eases from 0 to 1.", {panel.x + 16, panel.y + 44},
                        13, t.muted_text, 268);
  }

  // The floating card, attached inside the window unless detached.
  if (m_floating.is_attached()) {
    Rect r = m_floating.attached_rect();
    surface::shadow(canvas, r, 14, t.shadow, 18, 6);
    canvas.push_clip(r, 14);
    canvas.push_transform(r.x, r.y);
    Canvas sub(canvas.cairo(), {r.w, r.h}, t);
    draw_floating_surface("demo-float", sub);
    canvas.pop_transform();
    canvas.pop_clip();
  }

  canvas.text_truncated(m_status, {b.x + 32, b.bottom() - 28}, 12, t.muted_text, b.w - 64);
  m_menu.draw(canvas);
  m_input.draw_popups(canvas);
  m_tooltip.draw(canvas);
  (void)ctx;
}

std::vector<FloatingSurfaceDescriptor> DemoWidget::floating_surfaces() {
  return {{"demo-float", "Floating card", "kivo.ui.demo", "demo-float", m_floating.attached_rect()}};
}

FloatingPlacement* DemoWidget::floating_placement(const std::string& id) {
  return id == "demo-float" ? &m_floating : nullptr;
}

void DemoWidget::draw_floating_surface(const std::string&, Canvas& canvas) {
  const Theme& t = canvas.theme();
  Size s = canvas.size();
  canvas.fill_rounded_rect({0, 0, s.w, s.h}, 14, t.is_dark() ? t.popover_bg : Color::rgb(0x23252c));
  canvas.text("Floating surface", {14, 12}, 13.5f, Colors::white(), 2);
  canvas.text("Drag the title · Detach opens a desktop window", {14, 34}, 11.5f, Colors::white().with_alpha(0.7f));
  Avatar::draw(canvas, {s.w / 2, s.h / 2 + 16}, 30, "AL", t.palette_color(0), Color::rgb(0x2fb36b), nullptr,
               Color::rgb(0x23252c));
}

bool DemoWidget::needs_animation_frame() const {
  return m_panel.is_animating() || m_floating.is_handoff_animating() || m_tooltip.waiting() || !m_images->is_idle();
}

void DemoWidget::write_text_probe() {
  // Test hook: KIVO_UI_DEMO_TEXT_FILE receives the composer's text after every change.
  const char* path = std::getenv("KIVO_UI_DEMO_TEXT_FILE");
  if (!path) return;
  std::string tmp = std::string(path) + ".tmp";
  if (FILE* f = std::fopen(tmp.c_str(), "w")) {
    std::fwrite(m_input.text().data(), 1, m_input.text().size(), f);
    std::fclose(f);
    std::rename(tmp.c_str(), path);
  }
}

bool DemoWidget::handle_event(WidgetContext& ctx, const Event& event) {
  if (m_menu.is_open()) {
    MenuResponse r = m_menu.handle_event(event);
    if (r.chosen) {
      for (const auto& item : m_menu.items())
        if (item.code == *r.chosen) m_status = "Chose \"" + item.label + "\"";
    }
    if (r.consumed) return true;
  }
  if (auto* m = std::get_if<PointerMoveEvent>(&event)) {
    m_pointer = m->pos;
    std::optional<std::string> tip;
    if (m_primary.rect.contains(m->pos)) tip = "Send the message (Enter)";
    if (m_image_rect.contains(m->pos)) tip = "A picture decoded on a worker thread";
    m_tooltip.on_pointer(m->pos, tip, ctx.now);
    m_floating.update_drag(m->pos);
  }
  if (auto* b = std::get_if<PointerButtonEvent>(&event)) {
    if (b->pressed && b->button == PointerButton::Secondary) {
      open_menu(b->pos);
      return true;
    }
    if (b->pressed && b->button == PointerButton::Primary) {
      Rect fr = m_floating.attached_rect();
      if (m_floating.is_attached() && Rect{fr.x, fr.y, fr.w, 30}.contains(b->pos)) {
        m_floating.begin_drag(b->pos);
        return true;
      }
      if (m_toggle_rect.contains(b->pos)) {
        m_panel.set_open(!m_panel.is_open());
        return true;
      }
      if (m_detach.rect.contains(b->pos)) {
        if (m_floating.is_detached()) {
          m_floating.reattach_to_app();
          m_floating.confirm_app_adoption();
        } else {
          m_floating.detach_to_desktop({360, 240});
        }
        return true;
      }
      bool in_first = m_input_frame.contains(b->pos), in_second = m_second_frame.contains(b->pos);
      if (in_first || in_second) {
        m_input.set_focused(in_first);
        m_second.set_focused(in_second);
      }
    }
    if (!b->pressed) m_floating.end_drag();
  }
  bool clicked_send = m_primary.handle_event(event);
  m_secondary.handle_event(event);
  if (m_danger.handle_event(event)) m_status = "Delete pressed";
  if (m_secondary.handle_event(event)) m_input.set_text("");

  TextInputResponse r1 = m_input.handle_event(event);
  TextInputResponse r2 = m_second.handle_event(event);
  if (r1.submitted || clicked_send) {
    if (!m_input.text().empty()) m_sent.push_back(m_input.text());
    m_input.set_text("");
    m_status = "Sent";
    write_text_probe();
  }
  if (m_input.take_dirty()) write_text_probe();
  if (auto* k = std::get_if<KeyEvent>(&event); k && k->pressed && k->key == Key::Escape && !r1.consumed) {
    m_panel.set_open(false);
  }
  return r1.consumed || r2.consumed || clicked_send;
}

}  // namespace kivo_ui::demo
