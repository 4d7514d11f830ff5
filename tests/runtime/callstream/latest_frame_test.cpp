// The newest-frame holder that the video player paints from.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/callstream/latest_frame.h"

namespace kivo::callstream {
namespace {

VideoFrame frame_of(int width, std::uint8_t fill) {
  return VideoFrame{width, 2, std::vector<std::uint8_t>(rgba_byte_count(width, 2), fill)};
}

TEST(LatestFrameTest, HoldsOnlyTheNewestFrameWithItsGeneration) {
  LatestFrame latest;
  EXPECT_FALSE(latest.peek().has_value());
  EXPECT_EQ(latest.generation(), 0u);

  latest.feed_frame(frame_of(2, 1));
  latest.feed_frame(std::optional<VideoFrame>{});  // a decoder that answered nothing
  latest.feed_frames({frame_of(4, 2), frame_of(6, 3)});
  latest.feed_frames({});
  auto peeked = latest.peek();
  ASSERT_TRUE(peeked.has_value());
  EXPECT_EQ(peeked->generation, 2u);
  EXPECT_EQ(peeked->frame->width, 6);
  EXPECT_EQ(peeked->frame->rgba[0], 3);

  EXPECT_FALSE(latest.peek_newer(2).has_value());
  EXPECT_TRUE(latest.peek_newer(1).has_value());

  auto taken = latest.take();
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->generation, 2u);
  EXPECT_FALSE(latest.take().has_value());
  EXPECT_EQ(latest.generation(), 2u);
  EXPECT_EQ(peeked->frame->width, 6) << "a snapshot stays valid after the holder lets go";

  latest.feed_frame(frame_of(8, 4));
  latest.clear();
  EXPECT_FALSE(latest.peek().has_value());
  EXPECT_EQ(latest.generation(), 3u);
}

TEST(LatestFrameTest, PainterNeverSeesAGenerationGoBackOrATornFrame) {
  LatestFrame latest;
  constexpr int kFeeds = 2000;
  std::atomic<bool> done{false};
  std::thread decoder([&] {
    for (int i = 1; i <= kFeeds; ++i) latest.feed_frame(frame_of(2 + (i % 5) * 2, static_cast<std::uint8_t>(i)));
    done = true;
  });
  std::uint64_t seen = 0;
  bool ordered = true, whole = true;
  while (!done || seen < kFeeds) {
    auto snapshot = latest.peek_newer(seen);
    if (!snapshot) continue;
    ordered = ordered && snapshot->generation > seen;
    seen = snapshot->generation;
    const VideoFrame& f = *snapshot->frame;
    whole = whole && f.rgba.size() == rgba_byte_count(f.width, f.height) &&
            f.rgba.front() == static_cast<std::uint8_t>(seen) && f.rgba.back() == f.rgba.front();
  }
  decoder.join();
  EXPECT_TRUE(ordered);
  EXPECT_TRUE(whole);
  EXPECT_EQ(seen, static_cast<std::uint64_t>(kFeeds));
}

}  // namespace
}  // namespace kivo::callstream
