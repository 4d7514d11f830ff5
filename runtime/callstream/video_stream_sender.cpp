// The paced stream sender.
#include "runtime/callstream/video_stream_sender.h"

#include <utility>

namespace kivo::callstream {

VideoStreamSender::VideoStreamSender(H264Encoder encoder)
    : m_encoder(std::move(encoder)), m_pacer(make_frame_pacer(m_encoder.settings().frame_rate)) {}

kivo::Result<VideoStreamSender> VideoStreamSender::create(int width, int height, int frame_rate) {
  KIVO_TRY_ASSIGN(settings, call_encoder_settings(width, height, frame_rate));
  return create(settings);
}

kivo::Result<VideoStreamSender> VideoStreamSender::create(const EncoderSettings& settings) {
  KIVO_TRY_ASSIGN(encoder, H264Encoder::create(settings));
  return VideoStreamSender(std::move(encoder));
}

FrameOffer VideoStreamSender::offer_frame(std::span<const std::uint8_t> rgba, MonotonicTime now) {
  const EncoderSettings& s = m_encoder.settings();
  const std::size_t expected = rgba_byte_count(s.width, s.height);
  if (rgba.size() != expected) return FrameError{FrameSizeMismatch{expected, rgba.size()}};
  if (!admit_frame(m_pacer, now)) return NothingToSend{};
  EncodeOutcome outcome = m_encoder.encode_frame(rgba);
  if (auto* error = std::get_if<FrameError>(&outcome)) return std::move(*error);
  auto& message = std::get<EncodedMessage>(outcome);
  if (message.bytes.empty()) return NothingToSend{};
  return MessageToSend{std::move(message.bytes), message.keyframe};
}

void VideoStreamSender::request_keyframe() { m_encoder.request_keyframe(); }

const EncoderSettings& VideoStreamSender::settings() const { return m_encoder.settings(); }

int VideoStreamSender::quality_reduction() const { return m_encoder.quality_reduction(); }

}  // namespace kivo::callstream
