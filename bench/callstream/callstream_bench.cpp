// Times H.264 encoding and decoding of call video at the camera and screen sizes and prints
// the per-frame cost, the share of one core a 30 frames-per-second stream needs, and its
// bytes per second. Usage: callstream_bench [frames per case, default 150].
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/callstream/h264_decoder.h"
#include "runtime/callstream/h264_encoder.h"

namespace {

using namespace kivo::callstream;

// Wall time and CPU time of the whole process (the encoder may use a second thread).
struct Clock {
  double wall = 0, cpu = 0;
  static Clock now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    const double cpu = static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return {wall, cpu};
  }
};

std::vector<std::uint8_t> moving_pattern(int width, int height, int t) {
  std::vector<std::uint8_t> rgba(rgba_byte_count(width, height));
  const int sq = width / 8;
  const int sx = (t * 5) % (width - sq), sy = (t * 3) % (height - sq);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
      const bool in_square = x >= sx && x < sx + sq && y >= sy && y < sy + sq;
      p[0] = in_square ? 230 : static_cast<std::uint8_t>(128 + 90 * std::sin((x + 3.0 * t) / 40.0));
      p[1] = in_square ? 40 : static_cast<std::uint8_t>(128 + 90 * std::cos((y + 2.0 * t) / 30.0));
      p[2] = in_square ? 60 : static_cast<std::uint8_t>((x + y + t) / 8 % 256);
      p[3] = 255;
    }
  return rgba;
}

std::vector<std::uint8_t> noise(int width, int height, unsigned seed) {
  std::vector<std::uint8_t> rgba(rgba_byte_count(width, height));
  std::uint32_t s = seed * 2654435761u + 1;
  for (auto& b : rgba) {
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    b = static_cast<std::uint8_t>(s);
  }
  return rgba;
}

void run_case(const char* name, int width, int height, int frames, bool noisy) {
  auto encoder = H264Encoder::create(width, height, 30);
  if (!encoder) {
    std::fprintf(stderr, "%s: %s\n", name, encoder.error().message.c_str());
    std::exit(1);
  }
  H264Decoder decoder;
  double enc_wall = 0, enc_cpu = 0, dec_wall = 0, dec_cpu = 0;
  std::size_t bytes = 0, largest = 0;
  int decoded = 0;
  for (int t = 0; t < frames; ++t) {
    const auto picture = noisy ? noise(width, height, static_cast<unsigned>(t)) : moving_pattern(width, height, t);
    const Clock a = Clock::now();
    auto message = encoder->encode(picture);
    const Clock b = Clock::now();
    if (!message) {
      std::fprintf(stderr, "%s: %s\n", name, message.error().message.c_str());
      std::exit(1);
    }
    auto frame = decoder.decode(*message);
    const Clock c = Clock::now();
    enc_wall += b.wall - a.wall, enc_cpu += b.cpu - a.cpu;
    dec_wall += c.wall - b.wall, dec_cpu += c.cpu - b.cpu;
    bytes += message->size();
    largest = std::max(largest, message->size());
    decoded += frame ? 1 : 0;
  }
  const double n = frames;
  const double core_share = (enc_cpu + dec_cpu) / n * 30.0 * 100.0;
  std::printf("%-22s %4dx%-4d  encode %6.2f ms (cpu %6.2f)  decode %5.2f ms (cpu %5.2f)  "
              "encode/decode %4.1fx  30 fps: %8.0f bytes/s (%5.0f kbit/s), largest %7zu B, %5.1f%% of a core  "
              "[%d/%d decoded]\n",
              name, width, height, enc_wall / n * 1e3, enc_cpu / n * 1e3, dec_wall / n * 1e3, dec_cpu / n * 1e3,
              enc_cpu / dec_cpu, static_cast<double>(bytes) / n * 30.0, static_cast<double>(bytes) / n * 30.0 * 8 / 1e3,
              largest, core_share, decoded, frames);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 150;
  run_case("camera pattern", 640, 480, frames, false);
  run_case("screen pattern", 1280, 960, frames, false);
  run_case("screen noise (worst)", 1280, 960, std::min(frames, 30), true);
  return 0;
}
