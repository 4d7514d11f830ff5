// The sending side of a screen-share stream: paces RGBA frames to the frame rate and encodes
// the admitted ones into video messages of at most the message limit.
#pragma once

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/callstream/encoder_settings.h"
#include "runtime/callstream/frame_error.h"
#include "runtime/callstream/frame_pacer.h"
#include "runtime/callstream/h264_encoder.h"
#include "runtime/callstream/video_frame.h"

namespace kivo::callstream {

struct MessageToSend {
  std::vector<std::uint8_t> bytes;  // one whole video message
  bool keyframe = false;
};

struct NothingToSend {};  // the frame came too soon after the last one, or the encoder held it

using FrameOffer = std::variant<MessageToSend, NothingToSend, FrameError>;

class VideoStreamSender {
public:
  static kivo::Result<VideoStreamSender> create(int width, int height, int frame_rate);  // call defaults
  static kivo::Result<VideoStreamSender> create(const EncoderSettings& settings);

  // One captured RGBA frame of the stream's size and the monotonic time it was captured.
  FrameOffer offer_frame(std::span<const std::uint8_t> rgba, MonotonicTime now);

  void request_keyframe();  // the next admitted frame becomes a keyframe
  const EncoderSettings& settings() const;
  int quality_reduction() const;

private:
  explicit VideoStreamSender(H264Encoder encoder);
  H264Encoder m_encoder;
  FramePacer m_pacer;
};

}  // namespace kivo::callstream
