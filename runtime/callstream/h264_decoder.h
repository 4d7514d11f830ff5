// Decoding of video messages back into RGBA frames. Takes messages in order; a lost, damaged
// or hostile message yields nothing and the decoder waits for the next keyframe.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "runtime/callstream/video_frame.h"

namespace kivo::callstream {

// At most this many frames come out of one message (a well-formed one gives one).
inline constexpr int kMaxFramesPerMessage = 4;

struct DecoderStats {
  std::uint64_t messages = 0;       // payloads handed in
  std::uint64_t frames = 0;         // frames handed out
  std::uint64_t rejected = 0;       // payloads that are not intact video messages
  std::uint64_t skipped = 0;        // intact messages dropped while waiting for a keyframe
  std::uint64_t decode_errors = 0;  // messages the H.264 decoder refused or flagged as damaged
};

class H264Decoder {
public:
  H264Decoder();  // opens libavcodec on the first keyframe
  H264Decoder(H264Decoder&&) noexcept;
  H264Decoder& operator=(H264Decoder&&) noexcept;
  ~H264Decoder();

  std::optional<VideoFrame> decode(std::span<const std::uint8_t> payload);  // the newest frame, if any
  std::vector<VideoFrame> decode_all(std::span<const std::uint8_t> payload);  // every frame, in order

  bool waiting_for_keyframe() const;  // true until a keyframe decodes, and again after a loss
  const DecoderStats& stats() const;

private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace kivo::callstream
