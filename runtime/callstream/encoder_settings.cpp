// Default encoder settings and their checks.
#include "runtime/callstream/encoder_settings.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace kivo::callstream {
namespace {

constexpr double kBitsPerPixel = 0.1;
constexpr std::int64_t kMinBitrate = 100'000;
constexpr std::int64_t kMaxBitrate = 12'000'000;
constexpr std::int64_t kSingleThreadPixels = 640 * 480;

}  // namespace

kivo::Result<EncoderSettings> call_encoder_settings(int width, int height, int frame_rate) {
  EncoderSettings s;
  s.width = width;
  s.height = height;
  s.frame_rate = frame_rate;
  s.keyframe_interval = frame_rate;
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
  const auto bits = static_cast<std::int64_t>(static_cast<double>(pixels) * frame_rate * kBitsPerPixel);
  s.max_bitrate = static_cast<int>(std::clamp(bits, kMinBitrate, kMaxBitrate));
  s.threads = pixels > kSingleThreadPixels ? 2 : 1;
  KIVO_TRY(check_encoder_settings(s));
  return s;
}

kivo::Status check_encoder_settings(const EncoderSettings& s) {
  if (!is_supported_frame_size(s.width, s.height))
    return make_error("unsupported video size " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                      " (even, 2 to 4096 pixels a side)");
  if (s.frame_rate < 1 || s.frame_rate > kMaxFrameRate)
    return make_error("unsupported frame rate " + std::to_string(s.frame_rate));
  if (s.keyframe_interval < 1 || s.keyframe_interval > 2 * s.frame_rate)
    return make_error("keyframe interval must be between 1 frame and 2 seconds");
  if (s.max_bitrate < 10'000) return make_error("bitrate cap too low");
  if (s.crf < 0 || s.crf > 51) return make_error("quality target out of range");
  if (s.threads < 1 || s.threads > 16) return make_error("unsupported encoder thread count");
  if (s.max_message_bytes <= kMessageHeaderBytes || s.max_message_bytes > kMaxMessageBytes)
    return make_error("message limit out of range");
  return {};
}

}  // namespace kivo::callstream
