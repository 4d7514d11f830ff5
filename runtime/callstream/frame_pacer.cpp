// Frame pacing.
#include "runtime/callstream/frame_pacer.h"

namespace kivo::callstream {

FramePacer make_frame_pacer(int frame_rate) {
  FramePacer pacer;
  pacer.interval = std::chrono::nanoseconds(1'000'000'000LL / (frame_rate > 0 ? frame_rate : 1));
  return pacer;
}

bool admit_frame(FramePacer& pacer, MonotonicTime now) {
  const auto tolerance = pacer.interval / 8;
  if (pacer.next_due && now >= pacer.last_admitted && now + tolerance < *pacer.next_due) return false;
  const bool on_grid = pacer.next_due && now >= pacer.last_admitted && now < *pacer.next_due + pacer.interval;
  pacer.next_due = on_grid ? *pacer.next_due + pacer.interval : now + pacer.interval;
  pacer.last_admitted = now;
  return true;
}

}  // namespace kivo::callstream
