// libFuzzer harness for the call video decoder and stream receiver. The first input byte picks
// how the rest is read:
//   0: raw payloads (2-byte length, bytes) pushed as they are;
//   1: edits (drop, duplicate, swap, flip, truncate, overwrite) to a real encoded stream, whose
//      messages are then re-framed with a correct checksum so the damage reaches H.264 decoding;
//   2: access units (2-byte length, flag byte, bytes) framed as a well-formed stream.
// Every answer is checked: frames of a legal size with exactly width * height * 4 bytes, and
// no more frames per message than the decoder promises.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "runtime/callstream/h264_decoder.h"
#include "runtime/callstream/h264_encoder.h"
#include "runtime/callstream/video_message.h"
#include "runtime/callstream/video_stream_receiver.h"

namespace kivo::callstream {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 96;
constexpr int kHeight = 64;

std::vector<Bytes> g_stream;  // 12 messages, a keyframe every 4

std::vector<std::uint8_t> pattern(int t) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 2 + t * 7);
      p[1] = static_cast<std::uint8_t>(y * 3 + t);
      p[2] = static_cast<std::uint8_t>((x ^ y) + t * 5);
      p[3] = 255;
    }
  return rgba;
}

void build_stream() {
  auto settings = call_encoder_settings(kWidth, kHeight, 30);
  if (!settings) std::abort();
  settings->keyframe_interval = 4;
  auto encoder = H264Encoder::create(*settings);
  if (!encoder) std::abort();
  for (int t = 0; t < 12; ++t) {
    auto message = encoder->encode(pattern(t));
    if (!message || message->empty()) std::abort();
    g_stream.push_back(std::move(*message));
  }
}

void check(const std::vector<VideoFrame>& frames) {
  if (frames.size() > static_cast<std::size_t>(kMaxFramesPerMessage)) std::abort();
  for (const VideoFrame& f : frames) {
    if (!is_supported_frame_size(f.width, f.height)) std::abort();
    if (f.rgba.size() != rgba_byte_count(f.width, f.height)) std::abort();
  }
}

struct Reader {
  std::span<const std::uint8_t> in;
  bool empty() const { return in.empty(); }
  std::uint8_t byte() {
    if (in.empty()) return 0;
    const std::uint8_t b = in[0];
    in = in.subspan(1);
    return b;
  }
  std::size_t u16() { return (std::size_t{byte()} << 8) | byte(); }
  std::span<const std::uint8_t> take(std::size_t n) {
    n = std::min(n, in.size());
    auto out = in.first(n);
    in = in.subspan(n);
    return out;
  }
};

// Odd inputs go through the receiver, even ones through the decoder's single-frame answer.
void feed(const std::vector<Bytes>& messages, bool through_receiver) {
  VideoStreamReceiver receiver;
  H264Decoder decoder;
  for (const Bytes& m : messages) {
    if (through_receiver) {
      check(receiver.push(m));
    } else if (auto frame = decoder.decode(m)) {
      check({*frame});
    }
  }
  // Whatever came before, a clean keyframe brings the picture back.
  const bool shown = through_receiver ? !receiver.push(g_stream[0]).empty() : decoder.decode(g_stream[0]).has_value();
  if (!shown) std::abort();
}

std::vector<Bytes> raw_payloads(Reader r) {
  std::vector<Bytes> out;
  while (!r.empty()) {
    auto bytes = r.take(r.u16());
    out.emplace_back(bytes.begin(), bytes.end());
  }
  return out;
}

std::vector<Bytes> edited_stream(Reader r) {
  std::vector<Bytes> units;
  std::vector<MessageHeader> headers;
  for (const Bytes& m : g_stream) {
    auto parsed = parse_message(m);
    headers.push_back(parsed->header);
    units.emplace_back(parsed->access_unit.begin(), parsed->access_unit.end());
  }
  while (!r.empty() && !units.empty()) {
    const std::uint8_t op = r.byte() % 6;
    const std::size_t i = r.byte() % units.size();
    const std::size_t pos = r.u16();
    const std::uint8_t value = r.byte();
    Bytes& u = units[i];
    switch (op) {
      case 0: units.erase(units.begin() + i); headers.erase(headers.begin() + i); break;
      case 1:
        if (units.size() < 64) {
          units.insert(units.begin() + i, Bytes(u));
          headers.insert(headers.begin() + i, headers[i]);
        }
        break;
      case 2:
        if (i + 1 < units.size()) {
          std::swap(units[i], units[i + 1]);
          std::swap(headers[i], headers[i + 1]);
        }
        break;
      case 3: if (!u.empty()) u[pos % u.size()] ^= static_cast<std::uint8_t>(1u << (value % 8)); break;
      case 4: if (u.size() > 1) u.resize(1 + pos % u.size()); break;
      case 5: if (!u.empty()) u[pos % u.size()] = value; break;
    }
  }
  std::vector<Bytes> out;
  for (std::size_t i = 0; i < units.size(); ++i) out.push_back(build_message(headers[i], units[i]));
  return out;
}

std::vector<Bytes> framed_units(Reader r) {
  std::vector<Bytes> out;
  std::uint32_t sequence = 0;
  while (!r.empty()) {
    const std::size_t n = r.u16();
    const bool keyframe = (r.byte() & 1) != 0;
    auto unit = r.take(n);
    if (unit.empty()) continue;
    out.push_back(build_message(MessageHeader{keyframe, kWidth, kHeight, 7, sequence++}, unit));
  }
  return out;
}

}  // namespace
}  // namespace kivo::callstream

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kivo::callstream::build_stream();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kivo::callstream;
  if (size == 0) return 0;
  Reader r{std::span<const std::uint8_t>(data + 1, size - 1)};
  const bool through_receiver = (data[0] & 0x80) != 0;
  switch (data[0] % 3) {
    case 0: feed(raw_payloads(r), through_receiver); break;
    case 1: feed(edited_stream(r), through_receiver); break;
    case 2: feed(framed_units(r), through_receiver); break;
  }
  return 0;
}
