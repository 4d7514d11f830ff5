// Holds a stream to its frame rate: admits at most one frame per frame interval on average.
#pragma once

#include <chrono>
#include <optional>

namespace kivo::callstream {

using MonotonicTime = std::chrono::steady_clock::time_point;

struct FramePacer {
  std::chrono::nanoseconds interval{0};  // one frame's share of a second
  std::optional<MonotonicTime> next_due; // none before the first frame
  MonotonicTime last_admitted{};
};

FramePacer make_frame_pacer(int frame_rate);

// True when a frame offered at `now` should be sent. Frames are due on a fixed grid of
// intervals; one that arrives up to an eighth of an interval early still counts for its slot,
// so a capture clock that jitters around the rate is not halved. A sender that falls a whole
// interval behind starts a new grid instead of bursting to catch up, and a clock that runs
// backwards restarts the grid.
bool admit_frame(FramePacer& pacer, MonotonicTime now);

}  // namespace kivo::callstream
