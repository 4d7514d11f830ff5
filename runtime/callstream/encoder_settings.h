// The knobs of the call video encoder and their defaults for a given frame size and rate.
#pragma once

#include <cstddef>

#include "runtime/base/result.h"
#include "runtime/callstream/video_message.h"

namespace kivo::callstream {

inline constexpr int kMaxFrameRate = 120;

struct EncoderSettings {
  int width = 0;                 // pixels, even
  int height = 0;                // pixels, even
  int frame_rate = 30;           // frames per second the stream is paced to, 1..kMaxFrameRate
  int keyframe_interval = 30;    // frames from one keyframe to the next, at most two seconds
  int max_bitrate = 0;           // bits per second; caps the encoder's rate buffer
  int crf = 23;                  // quality target below the cap (x264 scale, lower is better)
  int threads = 1;               // encoder threads (sliced, no added delay)
  std::size_t max_message_bytes = kMaxMessageBytes;  // no message is larger
};

// Defaults for calls: a keyframe every second, about 0.1 bit per pixel, one thread up to
// 640 x 480 and two above (camera 640 x 480 ~ 0.9 Mbit/s, screen 1280 x 960 ~ 3.7 Mbit/s).
kivo::Result<EncoderSettings> call_encoder_settings(int width, int height, int frame_rate);

// Refuses sizes, rates and limits the encoder cannot honour.
kivo::Status check_encoder_settings(const EncoderSettings& settings);

}  // namespace kivo::callstream
