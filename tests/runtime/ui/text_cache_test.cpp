#include <gtest/gtest.h>

#include <cairo.h>

#include "runtime/ui/canvas.h"
#include "runtime/ui/text_renderer.h"

using namespace kivo_ui;

TEST(TextCache, ASecondFrameOfTheSameTextsShapesNothing) {
  TextRenderer tr("Inter,Noto Color Emoji");
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 100);
  cairo_t* cr = cairo_create(s);
  Canvas canvas(cr, {200, 100}, Theme::light());
  auto frame = [&] {
    tr.measure("Hello 👋", 14);
    tr.measure_weighted("Hello 👋", 14, 3);
    tr.measure_wrapped("a longer text that wraps 🎉", 13, 80);
    tr.draw_text_weighted(canvas, "Hello 👋", {0, 0}, 14, 1, Colors::black());
    tr.draw_text_weighted(canvas, "truncated text here", {0, 20}, 14, 1, Colors::black(), 40.f);
  };
  frame();
  uint64_t shaped = tr.stats().shaped;
  EXPECT_GT(shaped, 0u);
  frame();
  EXPECT_EQ(tr.stats().shaped, shaped);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

TEST(TextCache, KeyedBySizeWeightAndWidth) {
  TextRenderer tr;
  float w14 = tr.measure("Width", 14);
  EXPECT_GT(tr.measure("Width", 28), w14 * 1.8f);
  EXPECT_GT(tr.measure_weighted("Width", 14, 3), w14);
  TextMetrics narrow = tr.measure_wrapped("one two three four five", 14, 40);
  TextMetrics wide = tr.measure_wrapped("one two three four five", 14, 1000);
  EXPECT_GT(narrow.lines, 1);
  EXPECT_EQ(wide.lines, 1);
  EXPECT_GT(narrow.height, wide.height);
}

TEST(TextCache, CapacityBoundsTheEntries) {
  TextRenderer tr("Inter", 16);
  for (int i = 0; i < 100; ++i) tr.measure("text " + std::to_string(i), 12);
  EXPECT_LE(tr.stats().entries, 16u);
  float again = tr.measure("text 0", 12);  // evicted and shaped again, same answer
  EXPECT_GT(again, 0);
}

TEST(TextCache, TruncateEndsInEllipsisAndFits) {
  TextRenderer tr;
  std::string s = tr.truncate("a rather long channel name", 14, 1, 80);
  EXPECT_NE(s, "a rather long channel name");
  EXPECT_EQ(s.substr(s.size() - 3), "…");
  EXPECT_LE(tr.measure(s, 14), 80.5f);
  EXPECT_EQ(tr.truncate("short", 14, 1, 200), "short");
}

TEST(RichText, RunsWrapAndMeasure) {
  TextRenderer tr;
  std::vector<TextRun> runs = {{"Hello ", Colors::black()},
                               {"@Ana", Color::rgb(0x3366cc), Color::rgb(0x3366cc, 0.2f), 2},
                               {" this wraps across lines for sure", Colors::black()}};
  RichTextLayout l = tr.shape_rich(runs, 15, 90);
  EXPECT_GT(l.lines(), 1);
  EXPECT_GT(l.height(), tr.line_height(15) * 1.5f);
  EXPECT_EQ(tr.shape_rich({}, 15, 90).height(), 0);
}
