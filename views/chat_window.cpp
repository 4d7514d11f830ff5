#include "views/chat_window.h"

#include <algorithm>

#include "runtime/ui/color.h"
#include "views/attachment_panel.h"
#include "views/composer.h"
#include "views/edit_history.h"
#include "views/emoji_picker.h"
#include "views/header_bar.h"
#include "views/message_list.h"
#include "views/people_panel.h"
#include "views/rail.h"
#include "views/sidebar.h"
#include "views/thread_panel.h"

namespace chat {

namespace {

void scrim(ViewCtx& vc, double eased) {
  kivo_ui::Color c = vc.theme.scrim;
  c.a *= float(0.55 * eased);
  vc.canvas.fill_rect(vc.regions().bounds, c);
  vc.hit(vc.regions().bounds, control::Dismiss{});
}

void dismiss_layer(ViewCtx& vc) { vc.hit(vc.regions().bounds, control::Dismiss{}); }

void flap_button(ViewCtx& vc) {
  const auto& r = vc.regions();
  kivo_ui::Rect button{r.content.x + 12, r.header.center().y - 16, 32, 32};
  vc.canvas.fill_rounded_rect(button, 8, vc.theme.lift(vc.theme.accent, 0.72f));
  vc.canvas.text_centered("☰", button, vc.theme.title_text_size, vc.theme.text);
  vc.hit(button, control::ToggleLeftFlap{});
}

}  // namespace

float composer_text_height(ViewCtx& vc, float content_width) {
  const std::string& text = vc.state.fields.main.text();
  if (text.empty()) return 0;
  return vc.text.measure_wrapped(text, 15, std::max(content_width - 48, 40.f)).height;
}

void draw_window(ViewCtx& vc) {
  ChatState& st = vc.state;
  ViewState& v = st.view;
  st.hits.clear();
  st.tooltips.tick(vc.now);

  v.scale = vc.theme.scale;
  kivo_ui::Rect bounds = v.regions.bounds;
  v.modes = mode_flags(bounds, v.scale, v.modes);
  bool left_moving = step_flap(v.left_flap, v.modes.narrow, vc.now);
  bool right_moving = step_flap(v.right_flap, v.modes.compact, vc.now);
  st.flaps_moving = left_moving || right_moving;

  RegionInputs in{bounds, v.scale, v.modes, &v.left_flap, &v.right_flap, v.open_thread.has_value(), 0};
  v.regions = compute_regions(in);
  in.composer_text_height = composer_text_height(vc, v.regions.content.w);
  v.regions = compute_regions(in);
  const WindowRegions& r = v.regions;

  // 1. Background and the header bar's edge.
  vc.canvas.fill_rect(bounds, vc.theme.window_bg);
  vc.canvas.fill_rect(r.header, vc.theme.window_bg);
  vc.canvas.line({r.header.x, r.header.bottom()}, {r.header.right(), r.header.bottom()}, vc.theme.hairline,
                 vc.theme.border);
  // 2 to 4. The content column.
  draw_header_bar(vc);
  vc.canvas.push_clip(r.list);
  draw_message_list(vc);
  vc.canvas.pop_clip();
  draw_composer(vc);
  // 5 and 6. The right flap, over a scrim when it overlays the content.
  bool right_visible = r.right_shown || r.right_eased > 0.001;
  if (v.modes.compact && right_visible) scrim(vc, r.right_eased);
  if (right_visible) {
    if (v.open_thread) draw_thread_panel(vc, r.right_panel);
    else draw_people_panel(vc, r.right_panel);
  }
  // 7 and 8. The left flap.
  bool left_visible = r.left_shown || r.left_eased > 0.001;
  if (v.modes.narrow && left_visible) scrim(vc, r.left_eased);
  if (left_visible) {
    draw_rail(vc);
    draw_sidebar(vc);
  }
  // 9. The flap button.
  if ((v.modes.narrow || !r.left_shown) && !(v.modes.compact && v.open_thread)) flap_button(vc);
  // 10. The call view comes with the call machinery.
  // 11. The open context menu.
  if (v.menu && v.menu->menu.is_open()) v.menu->menu.draw(vc.canvas);
  // 12. Floating panels, each over a dismiss layer.
  if (v.emoji.open) {
    dismiss_layer(vc);
    draw_emoji_picker(vc);
  }
  if (v.history) {
    dismiss_layer(vc);
    draw_edit_history(vc);
  }
  if (v.attach.open) {
    dismiss_layer(vc);
    draw_attachment_panel(vc);
  }
  // Popups of the text fields (the "@" picker) lie above the panels they belong to.
  st.fields.main.draw_popups(vc.canvas);
  st.fields.thread.draw_popups(vc.canvas);
  // 13. The hover tooltip.
  st.tooltips.draw(vc.canvas);
}

}  // namespace chat
