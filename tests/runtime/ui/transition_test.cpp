#include <gtest/gtest.h>

#include "runtime/ui/transition.h"

using kivo_ui::Transition;

TEST(Transition, OpensOverItsDurationAndSettles) {
  double now = 100;
  Transition t(0.2, [&] { return now; });
  EXPECT_EQ(t.value(), 0.f);
  EXPECT_FALSE(t.is_animating());
  t.set_open(true);
  EXPECT_TRUE(t.is_animating());
  now += 0.1;
  float mid = t.value();
  EXPECT_GT(mid, 0.5f);  // eased out: more than half way at half time
  EXPECT_LT(mid, 1.f);
  now += 0.2;
  EXPECT_EQ(t.value(), 1.f);
  EXPECT_FALSE(t.is_animating());
}

TEST(Transition, ReversingMidwayStartsFromTheCurrentValue) {
  double now = 0;
  Transition t(0.2, [&] { return now; });
  t.set_open(true);
  now = 0.05;
  float v = t.value();
  t.set_open(false);
  EXPECT_NEAR(t.value(), v, 1e-5);  // no jump
  now += 0.2 * v + 0.001;           // the way back takes the share it has to cover
  EXPECT_EQ(t.value(), 0.f);
  EXPECT_FALSE(t.is_animating());
}

TEST(Transition, SnapDoesNotAnimate) {
  double now = 0;
  Transition t(0.2, [&] { return now; });
  t.snap(true);
  EXPECT_EQ(t.value(), 1.f);
  EXPECT_FALSE(t.is_animating());
  t.set_open(true);  // already open: nothing to do
  EXPECT_FALSE(t.is_animating());
}
