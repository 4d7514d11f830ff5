// The call video decoder on libavcodec's H.264 decoder and libswscale.
//
// Each access unit goes in as one whole packet with the padding libavcodec requires, on a
// single decoding thread with low delay, so every message gives its frame at once. A delta
// frame is decoded only when it follows the last decoded message of the same stream; anything
// else, and every decoding error or damaged picture, flushes the codec and waits for a keyframe.
#include "runtime/callstream/h264_decoder.h"

#include <cstring>

#include "runtime/callstream/ffmpeg_handles.h"
#include "runtime/callstream/video_message.h"

namespace kivo::callstream {

using detail::CodecContextPtr;
using detail::FramePtr;
using detail::PacketPtr;

struct H264Decoder::State {
  CodecContextPtr ctx;
  PacketPtr packet{av_packet_alloc()};
  FramePtr frame{av_frame_alloc()};
  SwsContext* sws = nullptr;  // cached by libswscale per conversion
  bool synced = false;
  std::uint32_t stream_id = 0;
  std::uint32_t next_sequence = 0;
  int width = 0;
  int height = 0;
  DecoderStats stats;

  ~State() { sws_freeContext(sws); }

  bool open(int w, int h) {
  detail::quiet_ffmpeg_log();
    ctx.reset();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) return false;
    CodecContextPtr fresh(avcodec_alloc_context3(codec));
    if (!fresh) return false;
    fresh->thread_count = 1;  // frame threads would hold frames back
    fresh->flags |= AV_CODEC_FLAG_LOW_DELAY;
    fresh->flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    fresh->err_recognition = AV_EF_EXPLODE;
    fresh->max_pixels = kMaxFramePixels;
    if (avcodec_open2(fresh.get(), codec, nullptr) < 0) return false;
    ctx = std::move(fresh);
    width = w;
    height = h;
    return true;
  }

  void lose_sync() {
    synced = false;
    if (ctx) avcodec_flush_buffers(ctx.get());
  }

  bool convert(VideoFrame& out) {
    const AVFrame& f = *frame;
    sws = sws_getCachedContext(sws, f.width, f.height, static_cast<AVPixelFormat>(f.format), f.width, f.height,
                               AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws) return false;
    out.width = f.width;
    out.height = f.height;
    out.rgba.assign(rgba_byte_count(f.width, f.height), 0);
    std::uint8_t* dst[1] = {out.rgba.data()};
    const int dst_stride[1] = {f.width * 4};
    return sws_scale(sws, f.data, f.linesize, 0, f.height, dst, dst_stride) == f.height;
  }

  std::vector<VideoFrame> decode(std::span<const std::uint8_t> payload) {
    ++stats.messages;
    auto parsed = parse_message(payload);
    if (!parsed) {
      ++stats.rejected;
      lose_sync();
      return {};
    }
    const MessageHeader& h = parsed->header;
    const bool follows = synced && h.stream_id == stream_id && h.sequence == next_sequence;
    if (!h.keyframe && !follows) {
      ++stats.skipped;
      lose_sync();
      return {};
    }
    if (!ctx || h.width != width || h.height != height) {
      if (!open(h.width, h.height)) {
        ++stats.decode_errors;
        lose_sync();
        return {};
      }
    }
    stream_id = h.stream_id;
    next_sequence = h.sequence + 1;

    av_packet_unref(packet.get());
    if (av_new_packet(packet.get(), static_cast<int>(parsed->access_unit.size())) < 0) {
      lose_sync();
      return {};
    }
    std::memcpy(packet->data, parsed->access_unit.data(), parsed->access_unit.size());
    if (h.keyframe) packet->flags |= AV_PKT_FLAG_KEY;

    std::vector<VideoFrame> frames;
    bool failed = avcodec_send_packet(ctx.get(), packet.get()) < 0;
    while (!failed) {
      const int rc = avcodec_receive_frame(ctx.get(), frame.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
      if (rc < 0) {
        failed = true;
        break;
      }
      const bool damaged = (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0 || frame->decode_error_flags != 0;
      const bool wrong_size = frame->width != h.width || frame->height != h.height;
      const bool not_key = h.keyframe && !frame->key_frame;  // a keyframe must stand on its own
      VideoFrame out;
      if (damaged || wrong_size || not_key || static_cast<int>(frames.size()) >= kMaxFramesPerMessage ||
          !convert(out)) {
        av_frame_unref(frame.get());
        failed = true;
        break;
      }
      av_frame_unref(frame.get());
      frames.push_back(std::move(out));
    }
    if (h.keyframe && frames.empty()) failed = true;
    if (failed) {
      ++stats.decode_errors;
      lose_sync();
      return {};
    }
    if (!frames.empty()) synced = true;
    stats.frames += frames.size();
    return frames;
  }
};

H264Decoder::H264Decoder() : m_state(std::make_unique<State>()) {}
H264Decoder::H264Decoder(H264Decoder&&) noexcept = default;
H264Decoder& H264Decoder::operator=(H264Decoder&&) noexcept = default;
H264Decoder::~H264Decoder() = default;

std::optional<VideoFrame> H264Decoder::decode(std::span<const std::uint8_t> payload) {
  std::vector<VideoFrame> frames = decode_all(payload);
  if (frames.empty()) return std::nullopt;
  return std::move(frames.back());
}

std::vector<VideoFrame> H264Decoder::decode_all(std::span<const std::uint8_t> payload) {
  if (!m_state->packet || !m_state->frame) return {};
  return m_state->decode(payload);
}

bool H264Decoder::waiting_for_keyframe() const { return !m_state->synced; }

const DecoderStats& H264Decoder::stats() const { return m_state->stats; }

}  // namespace kivo::callstream
