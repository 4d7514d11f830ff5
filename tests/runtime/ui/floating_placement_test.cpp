#include <gtest/gtest.h>

#include "runtime/ui/floating_placement.h"

using namespace kivo_ui;

TEST(FloatingPlacement, DragMovesTheAttachedSurfaceAndStaysInTheWindow) {
  FloatingPlacement p;
  p.set_window_bounds({0, 0, 1000, 700});
  p.set_attached_chrome({700, 500, 260, 160});
  p.begin_drag({710, 510});
  p.update_drag({610, 410});
  EXPECT_EQ(p.attached_rect(), (Rect{600, 400, 260, 160}));
  p.update_drag({5000, 5000});
  p.end_drag();
  Rect r = p.attached_rect();
  EXPECT_LE(r.x, 1000 - 24);
  EXPECT_LE(r.y, 700 - 24);
  EXPECT_FALSE(p.dragging());
}

TEST(FloatingPlacement, DetachReattachAndAdoption) {
  double now = 0;
  FloatingPlacement p([&] { return now; });
  p.set_attached_chrome({100, 100, 200, 120});
  p.detach_to_desktop({760, 300});
  EXPECT_TRUE(p.is_detached());
  EXPECT_EQ(p.detached_rect().w, 760);
  EXPECT_EQ(p.detached_rect().h, 300);
  p.begin_drag({0, 0});  // a detached surface is not dragged inside the window
  EXPECT_FALSE(p.dragging());
  p.reattach_to_app();
  EXPECT_EQ(p.mode(), FloatingMode::Returning);
  EXPECT_TRUE(p.is_handoff_animating());
  PresentationTransform start = p.presentation_transform();
  EXPECT_NEAR(start.scale, 760.f / 200.f, 1e-3);
  now += 1;
  EXPECT_FALSE(p.is_handoff_animating());
  PresentationTransform end = p.presentation_transform();
  EXPECT_NEAR(end.dx, 0, 1e-3);
  EXPECT_NEAR(end.scale, 1, 1e-3);
  p.confirm_app_adoption();
  EXPECT_TRUE(p.is_attached());
}
