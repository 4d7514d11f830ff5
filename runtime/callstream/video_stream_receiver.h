// The receiving side of a screen-share stream: video messages in arrival order, decoded frames out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/callstream/h264_decoder.h"
#include "runtime/callstream/video_frame.h"

namespace kivo::callstream {

class VideoStreamReceiver {
public:
  // Every frame the message completes, oldest first (a well-formed message gives one, a lost
  // stream position or a damaged message none until the next keyframe).
  std::vector<VideoFrame> push(std::span<const std::uint8_t> payload);

  bool waiting_for_keyframe() const;
  const DecoderStats& stats() const;

private:
  H264Decoder m_decoder;
};

}  // namespace kivo::callstream
