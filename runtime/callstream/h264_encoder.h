// H.264 encoding of RGBA frames into self-contained video messages, tuned for calls:
// no B-frames, no lookahead, one message per frame, SPS and PPS in every keyframe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/callstream/encoder_settings.h"
#include "runtime/callstream/frame_error.h"

namespace kivo::callstream {

struct EncodedMessage {
  std::vector<std::uint8_t> bytes;  // a whole video message; empty when the encoder held the frame back
  bool keyframe = false;
};

using EncodeOutcome = std::variant<EncodedMessage, FrameError>;

// How many times the encoder may lower its quality to keep a frame within the message limit.
inline constexpr int kMaxQualityReduction = 4;

class H264Encoder {
public:
  static kivo::Result<H264Encoder> create(int width, int height, int frame_rate);  // call defaults
  static kivo::Result<H264Encoder> create(const EncoderSettings& settings);

  H264Encoder(H264Encoder&&) noexcept;
  H264Encoder& operator=(H264Encoder&&) noexcept;
  ~H264Encoder();

  // One RGBA frame of the configured size in, one message out (possibly empty).
  kivo::Result<std::vector<std::uint8_t>> encode(std::span<const std::uint8_t> rgba);
  // The same with a typed failure: size mismatch, encoder failure or a frame that cannot fit.
  EncodeOutcome encode_frame(std::span<const std::uint8_t> rgba);

  void request_keyframe();                    // the next frame becomes a keyframe
  const EncoderSettings& settings() const;
  int quality_reduction() const;              // 0 at the configured quality, up to kMaxQualityReduction

private:
  struct State;
  explicit H264Encoder(std::unique_ptr<State> state);
  std::unique_ptr<State> m_state;
};

}  // namespace kivo::callstream
