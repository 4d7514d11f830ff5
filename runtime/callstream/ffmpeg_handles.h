// Owning handles for the libavcodec, libavutil and libswscale objects used here (internal).
#pragma once

#include <memory>
#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace kivo::callstream::detail {

struct CodecContextFree {
  void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameFree {
  void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
  void operator()(SwsContext* p) const { sws_freeContext(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

inline std::string av_error_text(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

// libavcodec reports every damaged packet on stderr; with packets from the network that is a
// channel for peers to flood the log. Only fatal messages are kept, once for the process.
inline void quiet_ffmpeg_log() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

}  // namespace kivo::callstream::detail
