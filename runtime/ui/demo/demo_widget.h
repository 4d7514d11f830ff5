// DemoWidget: one window with every widget of the toolkit, for trying it out and for screenshots.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/button.h"
#include "runtime/ui/context_menu.h"
#include "runtime/ui/floating_placement.h"
#include "runtime/ui/image_store.h"
#include "runtime/ui/text_input.h"
#include "runtime/ui/tooltip_host.h"
#include "runtime/ui/transition.h"
#include "runtime/ui/widget.h"

namespace kivo_ui::demo {

// Encoded PNG bytes of the demonstration picture (drawn with Cairo).
std::vector<uint8_t> demo_picture_png(int width, int height);

class DemoWidget final : public Widget, public FloatingSurfaceHost {
public:
  DemoWidget();

  // Screenshot state: text with a selection in the focused field and the context menu open.
  void prepare_showcase();
  ImageStore& images() { return *m_images; }
  TextInput& input() { return m_input; }
  const std::vector<std::string>& sent() const { return m_sent; }

  void sync(WidgetContext& ctx) override;
  void apply_layout(WidgetContext& ctx, Rect bounds) override;
  void draw(WidgetContext& ctx, Canvas& canvas) override;
  bool handle_event(WidgetContext& ctx, const Event& event) override;
  bool needs_animation_frame() const override;
  std::string widget_name() const override { return "DemoWidget"; }
  std::optional<Rect> text_input_rect() const override { return m_input.caret_rect(); }
  bool context_menu_shown() const override { return m_menu.is_open(); }
  std::optional<Rect> context_menu_rect() const override {
    return m_menu.is_open() ? std::optional<Rect>(m_menu.rect()) : std::nullopt;
  }
  FloatingSurfaceHost* floating_host() override { return this; }

  std::vector<FloatingSurfaceDescriptor> floating_surfaces() override;
  FloatingPlacement* floating_placement(const std::string& id) override;
  void draw_floating_surface(const std::string& id, Canvas& canvas) override;

private:
  void write_text_probe();
  void open_menu(Point at);

  std::unique_ptr<ImageStore> m_images;
  TextInput m_input{15.f, true};
  TextInput m_second{14.f, false};
  Button m_primary{"Send", ButtonStyle::Primary}, m_secondary{"Cancel", ButtonStyle::Secondary},
      m_danger{"Delete", ButtonStyle::Danger}, m_disabled{"Disabled", ButtonStyle::Primary};
  ContextMenu m_menu;
  TooltipHost m_tooltip;
  Transition m_panel{0.25};
  FloatingPlacement m_floating;
  Button m_detach{"Detach", ButtonStyle::Secondary};
  std::vector<std::string> m_sent;
  std::string m_status = "Right-click anywhere for the menu · type \"@\" for people";
  Rect m_bounds_cache, m_input_frame, m_second_frame, m_image_rect, m_toggle_rect;
  Point m_pointer;
  bool m_wake_installed = false;
  bool m_first_sync = true;
  bool m_menu_pending = false;
};

}  // namespace kivo_ui::demo
