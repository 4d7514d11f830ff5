// The newest decoded frame of one video stream, shared between a decoding thread and a
// painting thread. Older frames are replaced, never queued.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "runtime/callstream/video_frame.h"

namespace kivo::callstream {

struct FrameSnapshot {
  std::shared_ptr<const VideoFrame> frame;  // never null in a returned snapshot
  std::uint64_t generation = 0;             // 1 for the first frame fed, +1 per frame after
};

class LatestFrame {
public:
  void feed_frame(VideoFrame frame);                       // replaces the held frame
  void feed_frame(std::optional<VideoFrame> decoded);      // a decoder answer; nothing keeps the old one
  void feed_frames(std::vector<VideoFrame> decoded);       // a receiver answer; only the last one counts

  std::optional<FrameSnapshot> peek() const;               // the held frame, which stays held
  std::optional<FrameSnapshot> take();                     // the held frame, which is released
  std::optional<FrameSnapshot> peek_newer(std::uint64_t seen_generation) const;  // only if fed since
  std::uint64_t generation() const;                        // of the last frame fed, 0 before any
  void clear();                                            // drops the held frame; generation stays

private:
  mutable std::mutex m_mutex;
  std::shared_ptr<const VideoFrame> m_frame;
  std::uint64_t m_generation = 0;
};

}  // namespace kivo::callstream
