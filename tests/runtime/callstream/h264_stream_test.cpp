// Encoder and decoder together: picture quality, stream structure, late joining, losses,
// damage and hostile payloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/callstream/h264_decoder.h"
#include "runtime/callstream/h264_encoder.h"
#include "runtime/callstream/video_message.h"
#include "runtime/callstream/video_stream_receiver.h"
#include "tests/runtime/callstream/test_images.h"

namespace kivo::callstream {
namespace {

using testing::moving_pattern;
using testing::psnr_rgb;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 90;
constexpr double kMinPsnr = 30.0;

using Bytes = std::vector<std::uint8_t>;

// NAL unit types of an Annex-B access unit, in order.
std::vector<int> nal_types(std::span<const std::uint8_t> au) {
  std::vector<int> types;
  for (std::size_t i = 0; i + 3 < au.size(); ++i) {
    if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
      types.push_back(au[i + 3] & 0x1f);
      i += 3;
    }
  }
  return types;
}

bool contains(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// Re-frames a message around a changed access unit so its checksum is right again: the
// damage then reaches the H.264 decoder itself.
Bytes reframe(const Bytes& message, const Bytes& access_unit) {
  auto parsed = parse_message(message);
  EXPECT_TRUE(parsed.ok());
  return build_message(parsed->header, access_unit);
}

Bytes access_unit_of(const Bytes& message) { return Bytes(message.begin() + kMessageHeaderBytes, message.end()); }

class H264StreamTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    auto encoder = H264Encoder::create(kWidth, kHeight, 30);
    ASSERT_TRUE(encoder.ok()) << encoder.error().message;
    for (int t = 0; t < kFrames; ++t) {
      s_pictures.push_back(moving_pattern(kWidth, kHeight, t));
      auto message = encoder->encode(s_pictures.back());
      ASSERT_TRUE(message.ok()) << message.error().message;
      s_messages.push_back(std::move(*message));
    }
  }

  static bool is_keyframe(int index) { return parse_message(s_messages[index])->header.keyframe; }

  static int next_keyframe_from(int index) {
    for (int i = index; i < kFrames; ++i)
      if (is_keyframe(i)) return i;
    return -1;
  }

  static inline std::vector<Bytes> s_pictures;
  static inline std::vector<Bytes> s_messages;
};

TEST_F(H264StreamTest, EveryFrameRoundTripsAboveThirtyDecibels) {
  H264Decoder decoder;
  for (int t = 0; t < kFrames; ++t) {
    std::optional<VideoFrame> frame = decoder.decode(s_messages[t]);
    ASSERT_TRUE(frame.has_value()) << "frame " << t;
    EXPECT_EQ(frame->width, kWidth);
    EXPECT_EQ(frame->height, kHeight);
    EXPECT_GE(psnr_rgb(frame->rgba, s_pictures[t]), kMinPsnr) << "frame " << t;
  }
  EXPECT_EQ(decoder.stats().frames, static_cast<std::uint64_t>(kFrames));
}

TEST_F(H264StreamTest, StreamIsOneSelfContainedMessagePerFrameWithRegularKeyframes) {
  int last_keyframe = -1;
  for (int t = 0; t < kFrames; ++t) {
    const Bytes& message = s_messages[t];
    ASSERT_LE(message.size(), kMaxMessageBytes);
    auto parsed = parse_message(message);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->header.sequence, static_cast<std::uint32_t>(t));
    const std::vector<int> types = nal_types(parsed->access_unit);
    if (parsed->header.keyframe) {
      EXPECT_TRUE(contains(types, 7) && contains(types, 8) && contains(types, 5)) << "keyframe " << t;
      if (last_keyframe >= 0) {
        EXPECT_LE(t - last_keyframe, 60) << "more than 2 s between keyframes";
      }
      last_keyframe = t;
    } else {
      EXPECT_FALSE(contains(types, 5)) << t;
      EXPECT_TRUE(contains(types, 1)) << t;
    }
  }
  EXPECT_TRUE(is_keyframe(0));
  EXPECT_EQ(next_keyframe_from(1), 30);
  EXPECT_EQ(next_keyframe_from(31), 60);
}

TEST_F(H264StreamTest, LateReceiverShowsAPictureAtTheNextKeyframe) {
  VideoStreamReceiver receiver;
  const int keyframe = next_keyframe_from(40);
  ASSERT_GT(keyframe, 40);
  ASSERT_LE(keyframe, 40 + 60);
  for (int t = 40; t < kFrames; ++t) {
    std::vector<VideoFrame> frames = receiver.push(s_messages[t]);
    if (t < keyframe) {
      EXPECT_TRUE(frames.empty()) << "a picture before any keyframe at " << t;
    } else {
      ASSERT_EQ(frames.size(), 1u) << t;
      EXPECT_GE(psnr_rgb(frames[0].rgba, s_pictures[t]), kMinPsnr) << t;
    }
  }
}

// What happens to message `index` on its way, and where decoding must be whole again.
struct Damage {
  std::string name;
  int index;
  enum Kind { Drop, FlipCaught, FlipPastChecksum, Truncate, DropParameterSets } kind;
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name << " at message " << damage.index; }

class H264DamageTest : public H264StreamTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(H264DamageTest, DecodingRecoversAtTheNextKeyframe) {
  const Damage& damage = GetParam();
  const int recovery = next_keyframe_from(damage.index + 1);
  ASSERT_GT(recovery, damage.index);
  H264Decoder decoder;
  for (int t = 0; t < kFrames; ++t) {
    Bytes message = s_messages[t];
    if (t == damage.index) {
      Bytes au = access_unit_of(message);
      switch (damage.kind) {
        case Damage::Drop: continue;
        case Damage::FlipCaught: message[message.size() / 2] ^= 0x10; break;
        case Damage::FlipPastChecksum:
          for (std::size_t i = 8; i < au.size(); i += 97) au[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
          message = reframe(message, au);
          break;
        case Damage::Truncate: au.resize(au.size() / 3); message = reframe(message, au); break;
        case Damage::DropParameterSets: au.erase(au.begin(), au.begin() + 20); message = reframe(message, au); break;
      }
    }
    std::optional<VideoFrame> frame = decoder.decode(message);
    if (t < damage.index) {
      ASSERT_TRUE(frame.has_value()) << t;
    } else if (t >= recovery) {
      ASSERT_TRUE(frame.has_value()) << "no recovery at " << t;
      EXPECT_GE(psnr_rgb(frame->rgba, s_pictures[t]), kMinPsnr) << t;
    } else if (damage.kind == Damage::Drop || damage.kind == Damage::FlipCaught) {
      EXPECT_FALSE(frame.has_value()) << "a picture referring to a lost frame at " << t;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Losses, H264DamageTest,
                         ::testing::Values(Damage{"DeltaDropped", 10, Damage::Drop},
                                           Damage{"KeyframeDropped", 30, Damage::Drop},
                                           Damage{"DeltaBitFlip", 45, Damage::FlipCaught},
                                           Damage{"KeyframeBitFlip", 30, Damage::FlipCaught},
                                           Damage{"DeltaFlipsPastChecksum", 12, Damage::FlipPastChecksum},
                                           Damage{"KeyframeFlipsPastChecksum", 30, Damage::FlipPastChecksum},
                                           Damage{"DeltaTruncated", 50, Damage::Truncate},
                                           Damage{"KeyframeWithoutParameterSets", 30, Damage::DropParameterSets}),
                         [](const auto& info) { return info.param.name; });

Bytes header_with(std::uint8_t version, std::uint8_t flags, int width, int height, std::size_t au_bytes) {
  Bytes au(au_bytes, 0x42);
  Bytes message = build_message(MessageHeader{true, 16, 16, 7, 0}, au);
  message[2] = version;
  message[3] = flags;
  message[4] = static_cast<std::uint8_t>(width >> 8);
  message[5] = static_cast<std::uint8_t>(width);
  message[6] = static_cast<std::uint8_t>(height >> 8);
  message[7] = static_cast<std::uint8_t>(height);
  return message;
}

TEST_F(H264StreamTest, HostilePayloadsGiveNothingAndTheNextKeyframeDecodes) {
  const Bytes keyframe_au = access_unit_of(s_messages[0]);
  const std::vector<std::pair<std::string, Bytes>> payloads = {
      {"empty", {}},
      {"one byte", {0x4b}},
      {"header only", Bytes(s_messages[1].begin(), s_messages[1].begin() + kMessageHeaderBytes)},
      {"raw Annex-B without header", keyframe_au},
      {"wrong magic", [&] { Bytes m = s_messages[0]; m[0] = 'X'; return m; }()},
      {"future version", header_with(2, 1, 640, 480, 100)},
      {"unknown flags", header_with(1, 0x81, 640, 480, 100)},
      {"zero width", header_with(1, 1, 0, 480, 100)},
      {"odd height", header_with(1, 1, 640, 479, 100)},
      {"too wide", header_with(1, 1, 8192, 480, 100)},
      {"over 2 MiB", Bytes(kMaxMessageBytes + 1, 0)},
      {"keyframe of zeros", build_message(MessageHeader{true, 640, 480, 1, 0}, Bytes(5000, 0))},
      {"keyframe of 0xff", build_message(MessageHeader{true, 640, 480, 1, 0}, Bytes(5000, 0xff))},
      {"start codes only", build_message(MessageHeader{true, 640, 480, 1, 0}, Bytes{0, 0, 1, 0, 0, 1, 0, 0, 1})},
      {"keyframe declared at another size", build_message(MessageHeader{true, 320, 240, 1, 0}, keyframe_au)},
      {"delta frame as keyframe", build_message(MessageHeader{true, 640, 480, 1, 0}, access_unit_of(s_messages[5]))},
  };
  for (const auto& [name, payload] : payloads) {
    H264Decoder decoder;
    EXPECT_FALSE(decoder.decode(payload).has_value()) << name;
    EXPECT_TRUE(decoder.waiting_for_keyframe()) << name;
    // A synced decoder that gets the same payload drops it too and needs a keyframe again.
    H264Decoder synced;
    ASSERT_TRUE(synced.decode(s_messages[0]).has_value());
    EXPECT_FALSE(synced.decode(payload).has_value()) << name;
    EXPECT_FALSE(synced.decode(s_messages[1]).has_value()) << name;
    auto frame = synced.decode(s_messages[30]);
    ASSERT_TRUE(frame.has_value()) << name;
    EXPECT_GE(psnr_rgb(frame->rgba, s_pictures[30]), kMinPsnr) << name;
  }
}

TEST_F(H264StreamTest, OutOfOrderAndForeignDeltasAreNotDecoded) {
  H264Decoder decoder;
  ASSERT_TRUE(decoder.decode(s_messages[0]).has_value());
  ASSERT_TRUE(decoder.decode(s_messages[1]).has_value());
  EXPECT_FALSE(decoder.decode(s_messages[3]).has_value()) << "skipped message 2";
  EXPECT_FALSE(decoder.decode(s_messages[2]).has_value()) << "late message";
  // A delta with the right sequence number from another encoder instance.
  auto other = parse_message(s_messages[4]);
  MessageHeader foreign = other->header;
  foreign.stream_id ^= 1;
  H264Decoder fresh;
  ASSERT_TRUE(fresh.decode(s_messages[0]).has_value());
  for (int t = 1; t < 4; ++t) ASSERT_TRUE(fresh.decode(s_messages[t]).has_value());
  EXPECT_FALSE(fresh.decode(build_message(foreign, other->access_unit)).has_value());
}

TEST_F(H264StreamTest, ANewStreamAtAnotherSizeTakesOverAtItsKeyframe) {
  auto small = H264Encoder::create(320, 240, 30);
  ASSERT_TRUE(small.ok());
  const Bytes picture = moving_pattern(320, 240, 3);
  auto first = small->encode(picture);
  ASSERT_TRUE(first.ok());
  auto second = small->encode(picture);
  ASSERT_TRUE(second.ok());

  VideoStreamReceiver receiver;
  ASSERT_EQ(receiver.push(s_messages[0]).size(), 1u);
  ASSERT_EQ(receiver.push(s_messages[1]).size(), 1u);
  auto frames = receiver.push(*first);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width, 320);
  EXPECT_EQ(frames[0].height, 240);
  EXPECT_GE(psnr_rgb(frames[0].rgba, picture), kMinPsnr);
  EXPECT_EQ(receiver.push(*second).size(), 1u);
  EXPECT_TRUE(receiver.push(s_messages[2]).empty()) << "the old stream's delta no longer fits";
}

TEST(H264EncoderTest, RefusesSizesAndRatesItCannotEncode) {
  struct Case {
    int width, height, rate;
  };
  for (const Case& c : {Case{0, 480, 30}, Case{641, 480, 30}, Case{640, 481, 30}, Case{8192, 480, 30},
                        Case{4096, 4096, 30}, Case{640, 480, 0}, Case{640, 480, 121}, Case{-640, 480, 30}}) {
    auto encoder = H264Encoder::create(c.width, c.height, c.rate);
    EXPECT_FALSE(encoder.ok()) << c.width << "x" << c.height << "@" << c.rate;
  }
}

TEST(H264EncoderTest, WrongFrameSizeIsAnErrorAndTheEncoderCarriesOn) {
  auto encoder = H264Encoder::create(64, 48, 30);
  ASSERT_TRUE(encoder.ok());
  auto wrong = encoder->encode(Bytes(64 * 48 * 4 - 1, 0));
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error().message, "the video frame has 12287 bytes instead of 12288");
  auto right = encoder->encode(moving_pattern(64, 48, 0));
  ASSERT_TRUE(right.ok());
  EXPECT_TRUE(parse_message(*right)->header.keyframe);
  EXPECT_TRUE(H264Decoder().decode(*right).has_value());
}

TEST(H264EncoderTest, RequestedKeyframeComesNext) {
  auto encoder = H264Encoder::create(64, 48, 30);
  ASSERT_TRUE(encoder.ok());
  for (int t = 0; t < 5; ++t) ASSERT_TRUE(encoder->encode(moving_pattern(64, 48, t)).ok());
  encoder->request_keyframe();
  auto message = encoder->encode(moving_pattern(64, 48, 5));
  ASSERT_TRUE(message.ok());
  EXPECT_TRUE(parse_message(*message)->header.keyframe);
  // A receiver that joins at that keyframe shows it.
  EXPECT_TRUE(H264Decoder().decode(*message).has_value());
}

}  // namespace
}  // namespace kivo::callstream
