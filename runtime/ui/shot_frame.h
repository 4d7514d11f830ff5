// ShotFrame: renders a widget off screen into an image of a given size and theme, then to PNG.
#pragma once

#include <filesystem>
#include <memory>

#include "runtime/base/result.h"
#include "runtime/ui/theme.h"
#include "runtime/ui/widget.h"

typedef struct _cairo_surface cairo_surface_t;

namespace kivo_ui::launch::shot_frame {

class ShotFrame {
public:
  ShotFrame(int width, int height, Theme theme);  // logical size; pixels = size × theme.scale
  ~ShotFrame();
  ShotFrame(const ShotFrame&) = delete;
  ShotFrame& operator=(const ShotFrame&) = delete;

  void sync(Widget& widget);
  kivo::Status layout(Widget& widget);  // a layout error comes back as a value
  void draw(Widget& widget);
  void draw_floating_surfaces(Widget& widget);  // detached and returning surfaces over the frame
  kivo::Status write_png(const std::filesystem::path& path) const;

  int width() const { return m_width; }
  int height() const { return m_height; }
  const Theme& theme() const { return m_theme; }
  WidgetContext& context() { return m_context; }
  cairo_surface_t* surface() const { return m_surface; }

private:
  int m_width, m_height;
  Theme m_theme;
  WidgetContext m_context;
  cairo_surface_t* m_surface = nullptr;
};

}  // namespace kivo_ui::launch::shot_frame
