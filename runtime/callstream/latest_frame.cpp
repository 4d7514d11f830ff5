// The newest-frame holder.
#include "runtime/callstream/latest_frame.h"

#include <utility>

namespace kivo::callstream {

void LatestFrame::feed_frame(VideoFrame frame) {
  auto shared = std::make_shared<const VideoFrame>(std::move(frame));
  std::shared_ptr<const VideoFrame> old;  // released outside the lock
  std::lock_guard lock(m_mutex);
  old = std::exchange(m_frame, std::move(shared));
  ++m_generation;
}

void LatestFrame::feed_frame(std::optional<VideoFrame> decoded) {
  if (decoded) feed_frame(std::move(*decoded));
}

void LatestFrame::feed_frames(std::vector<VideoFrame> decoded) {
  if (!decoded.empty()) feed_frame(std::move(decoded.back()));
}

std::optional<FrameSnapshot> LatestFrame::peek() const {
  std::lock_guard lock(m_mutex);
  if (!m_frame) return std::nullopt;
  return FrameSnapshot{m_frame, m_generation};
}

std::optional<FrameSnapshot> LatestFrame::take() {
  std::lock_guard lock(m_mutex);
  if (!m_frame) return std::nullopt;
  return FrameSnapshot{std::move(m_frame), m_generation};
}

std::optional<FrameSnapshot> LatestFrame::peek_newer(std::uint64_t seen_generation) const {
  std::lock_guard lock(m_mutex);
  if (!m_frame || m_generation <= seen_generation) return std::nullopt;
  return FrameSnapshot{m_frame, m_generation};
}

std::uint64_t LatestFrame::generation() const {
  std::lock_guard lock(m_mutex);
  return m_generation;
}

void LatestFrame::clear() {
  std::shared_ptr<const VideoFrame> old;
  std::lock_guard lock(m_mutex);
  old = std::move(m_frame);
}

}  // namespace kivo::callstream
