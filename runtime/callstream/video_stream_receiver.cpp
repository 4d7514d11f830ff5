// The stream receiver.
#include "runtime/callstream/video_stream_receiver.h"

namespace kivo::callstream {

std::vector<VideoFrame> VideoStreamReceiver::push(std::span<const std::uint8_t> payload) {
  return m_decoder.decode_all(payload);
}

bool VideoStreamReceiver::waiting_for_keyframe() const { return m_decoder.waiting_for_keyframe(); }

const DecoderStats& VideoStreamReceiver::stats() const { return m_decoder.stats(); }

}  // namespace kivo::callstream
