// The call video encoder on libavcodec (libx264 preferred) and libswscale.
//
// Rate control is x264's constant quality capped by a rate buffer of half a second at the
// configured bitrate, so frames stay small and even. A frame whose message would still exceed
// the limit is encoded again by a fresh encoder at a lower quality (a new keyframe, so the
// stream stays decodable); the quality climbs back one step at a keyframe after five seconds.
#include "runtime/callstream/h264_encoder.h"

#include <algorithm>
#include <random>
#include <string>

#include "runtime/callstream/ffmpeg_handles.h"
#include "runtime/callstream/video_frame.h"
#include "runtime/callstream/video_message.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace kivo::callstream {

using detail::av_error_text;
using detail::CodecContextPtr;
using detail::FramePtr;
using detail::PacketPtr;
using detail::SwsPtr;

namespace {

constexpr int kCrfStepPerReduction = 8;
constexpr int kRestoreQualityAfterSeconds = 5;

struct AccessUnit {
  std::vector<std::uint8_t> bytes;
  bool keyframe = false;
};

kivo::Result<CodecContextPtr> open_codec(const EncoderSettings& s, int reduction) {
  detail::quiet_ffmpeg_log();
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!codec) return make_error("libavcodec has no H.264 encoder");
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return make_error("out of memory");
  ctx->width = s.width;
  ctx->height = s.height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, s.frame_rate};
  ctx->framerate = AVRational{s.frame_rate, 1};
  ctx->gop_size = s.keyframe_interval;
  ctx->max_b_frames = 0;
  ctx->thread_count = s.threads;
  ctx->flags &= ~AV_CODEC_FLAG_GLOBAL_HEADER;  // parameter sets stay in the stream
  ctx->colorspace = AVCOL_SPC_SMPTE170M;
  ctx->color_range = AVCOL_RANGE_MPEG;
  const std::int64_t rate = std::max<std::int64_t>(10'000, std::int64_t{s.max_bitrate} >> reduction);
  ctx->rc_max_rate = rate;
  ctx->rc_buffer_size = static_cast<int>(rate / 2);

  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "preset", "ultrafast", 0);
  av_dict_set(&opts, "tune", "zerolatency", 0);
  av_dict_set(&opts, "crf", std::to_string(std::min(51, s.crf + kCrfStepPerReduction * reduction)).c_str(), 0);
  av_dict_set(&opts, "forced-idr", "1", 0);
  av_dict_set(&opts, "x264-params", "repeat-headers=1:annexb=1:bframes=0:rc-lookahead=0:sync-lookahead=0:sliced-threads=1", 0);
  const int rc = avcodec_open2(ctx.get(), codec, &opts);
  av_dict_free(&opts);
  if (rc < 0) return make_error("cannot open the H.264 encoder: " + av_error_text(rc));
  return ctx;
}

std::uint32_t random_stream_id() {
  std::random_device device;
  return static_cast<std::uint32_t>(device());
}

}  // namespace

struct H264Encoder::State {
  EncoderSettings settings;
  CodecContextPtr ctx;           // null after a failure; reopened on the next frame
  FramePtr yuv;
  PacketPtr packet;
  SwsPtr sws;
  int reduction = 0;
  int frames_at_reduction = 0;
  int frames_since_keyframe = 0;
  bool force_keyframe = true;
  std::int64_t pts = 0;
  std::uint32_t stream_id = 0;
  std::uint32_t sequence = 0;

  kivo::Status reopen(int new_reduction) {
    ctx.reset();
    KIVO_TRY_ASSIGN(opened, open_codec(settings, new_reduction));
    ctx = std::move(opened);
    reduction = new_reduction;
    frames_at_reduction = 0;
    force_keyframe = true;
    return {};
  }

  // Runs the frame in `yuv` through the codec and gathers what comes out.
  kivo::Result<AccessUnit> run(bool keyframe) {
    yuv->pts = pts++;
    yuv->pict_type = keyframe ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    int rc = avcodec_send_frame(ctx.get(), yuv.get());
    if (rc < 0) return make_error(av_error_text(rc));
    AccessUnit out;
    for (;;) {
      rc = avcodec_receive_packet(ctx.get(), packet.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
      if (rc < 0) return make_error(av_error_text(rc));
      out.bytes.insert(out.bytes.end(), packet->data, packet->data + packet->size);
      out.keyframe = out.keyframe || (packet->flags & AV_PKT_FLAG_KEY) != 0;
      av_packet_unref(packet.get());
    }
    return out;
  }
};

H264Encoder::H264Encoder(std::unique_ptr<State> state) : m_state(std::move(state)) {}
H264Encoder::H264Encoder(H264Encoder&&) noexcept = default;
H264Encoder& H264Encoder::operator=(H264Encoder&&) noexcept = default;
H264Encoder::~H264Encoder() = default;

kivo::Result<H264Encoder> H264Encoder::create(int width, int height, int frame_rate) {
  KIVO_TRY_ASSIGN(settings, call_encoder_settings(width, height, frame_rate));
  return create(settings);
}

kivo::Result<H264Encoder> H264Encoder::create(const EncoderSettings& settings) {
  KIVO_TRY(check_encoder_settings(settings));
  auto st = std::make_unique<State>();
  st->settings = settings;
  st->stream_id = random_stream_id();
  KIVO_TRY(st->reopen(0));
  st->yuv.reset(av_frame_alloc());
  st->packet.reset(av_packet_alloc());
  if (!st->yuv || !st->packet) return make_error("out of memory");
  st->yuv->format = AV_PIX_FMT_YUV420P;
  st->yuv->width = settings.width;
  st->yuv->height = settings.height;
  if (av_frame_get_buffer(st->yuv.get(), 0) < 0) return make_error("out of memory");
  st->sws.reset(sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGBA, settings.width, settings.height,
                               AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!st->sws) return make_error("cannot set up the RGBA to YUV conversion");
  return H264Encoder(std::move(st));
}

kivo::Result<std::vector<std::uint8_t>> H264Encoder::encode(std::span<const std::uint8_t> rgba) {
  EncodeOutcome outcome = encode_frame(rgba);
  if (auto* error = std::get_if<FrameError>(&outcome)) return make_error(display_text(*error));
  return std::move(std::get<EncodedMessage>(outcome).bytes);
}

EncodeOutcome H264Encoder::encode_frame(std::span<const std::uint8_t> rgba) {
  State& st = *m_state;
  const EncoderSettings& s = st.settings;
  const std::size_t expected = rgba_byte_count(s.width, s.height);
  if (rgba.size() != expected) return FrameError{FrameSizeMismatch{expected, rgba.size()}};

  if (!st.ctx) {
    if (auto reopened = st.reopen(st.reduction); !reopened) return FrameError{EncoderFailure{reopened.error().message}};
  }
  if (av_frame_make_writable(st.yuv.get()) < 0) return FrameError{EncoderFailure{"out of memory"}};
  const std::uint8_t* src[1] = {rgba.data()};
  const int src_stride[1] = {s.width * 4};
  sws_scale(st.sws.get(), src, src_stride, 0, s.height, st.yuv->data, st.yuv->linesize);

  bool keyframe = st.force_keyframe || st.frames_since_keyframe + 1 >= s.keyframe_interval;
  if (keyframe && st.reduction > 0 && st.frames_at_reduction >= kRestoreQualityAfterSeconds * s.frame_rate) {
    const int previous = st.reduction;
    if (!st.reopen(previous - 1)) {
      if (auto back = st.reopen(previous); !back) return FrameError{EncoderFailure{back.error().message}};
    }
  }

  for (;;) {
    auto unit = st.run(keyframe);
    if (!unit) {
      st.ctx.reset();
      return FrameError{EncoderFailure{unit.error().message}};
    }
    if (unit->bytes.empty()) return EncodedMessage{};
    const std::size_t size = kMessageHeaderBytes + unit->bytes.size();
    if (size <= s.max_message_bytes) {
      MessageHeader header{unit->keyframe, s.width, s.height, st.stream_id, st.sequence++};
      st.force_keyframe = false;
      st.frames_since_keyframe = unit->keyframe ? 0 : st.frames_since_keyframe + 1;
      ++st.frames_at_reduction;
      return EncodedMessage{build_message(header, unit->bytes), unit->keyframe};
    }
    if (st.reduction >= kMaxQualityReduction) {
      // The codec has moved on with this frame as a reference: make the next one a keyframe.
      st.force_keyframe = true;
      return FrameError{MessageTooLarge{size, s.max_message_bytes}};
    }
    if (auto lowered = st.reopen(st.reduction + 1); !lowered) return FrameError{EncoderFailure{lowered.error().message}};
    keyframe = true;
  }
}

void H264Encoder::request_keyframe() { m_state->force_keyframe = true; }

const EncoderSettings& H264Encoder::settings() const { return m_state->settings; }

int H264Encoder::quality_reduction() const { return m_state->reduction; }

}  // namespace kivo::callstream
