// ChatApp: the one application object the toolkit drives; it holds all application state.
#pragma once

#include <string>

#include "runtime/ui/widget.h"

namespace chat {

class ChatApp final : public kivo_ui::Widget {
public:
  ChatApp() = default;

  void set_interactive(bool interactive) { m_interactive = interactive; }  // set by the factory only
  bool interactive() const { return m_interactive; }
  void request_seed_home() { m_seed_home_requested = true; }               // screenshot scenarios only

  void draw(kivo_ui::WidgetContext& ctx, kivo_ui::Canvas& canvas) override;
  std::string widget_name() const override { return "ChatApp"; }

private:
  bool m_interactive = false;
  bool m_seed_home_requested = false;
};

}  // namespace chat
