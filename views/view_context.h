// ViewCtx: what every view function draws with: the canvas and text renderer, the theme, the
// application state it reads (and whose hit regions it appends to), the frame clock and the catalog.
#pragma once

#include "app/chat_state.h"
#include "runtime/ui/canvas.h"
#include "runtime/ui/i18n.h"
#include "runtime/ui/text_renderer.h"
#include "runtime/ui/theme.h"

namespace chat {

struct ViewCtx {
  kivo_ui::Canvas& canvas;
  kivo_ui::TextRenderer& text;
  const kivo_ui::Theme& theme;
  ChatState& state;
  const kivo_ui::i18n::EmbeddedCatalog& catalog;
  double now = 0;

  const WindowRegions& regions() const { return state.view.regions; }
  void hit(kivo_ui::Rect rect, ChatControl control) { state.hits.add(rect, std::move(control)); }
};

}  // namespace chat
