// The video message framing: what is accepted, and why the rest is refused.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/callstream/video_message.h"

namespace kivo::callstream {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kAccessUnit = {0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xce, 0, 0, 0, 1, 0x65, 0x88};

TEST(VideoMessageTest, HeaderFieldsSurviveTheRoundTrip) {
  const MessageHeader header{true, 1280, 960, 0xdeadbeef, 0xfffffffe};
  const Bytes message = build_message(header, kAccessUnit);
  ASSERT_EQ(message.size(), kMessageHeaderBytes + kAccessUnit.size());
  auto parsed = parse_message(message);
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  EXPECT_TRUE(parsed->header.keyframe);
  EXPECT_EQ(parsed->header.width, 1280);
  EXPECT_EQ(parsed->header.height, 960);
  EXPECT_EQ(parsed->header.stream_id, 0xdeadbeefu);
  EXPECT_EQ(parsed->header.sequence, 0xfffffffeu);
  EXPECT_EQ(Bytes(parsed->access_unit.begin(), parsed->access_unit.end()), kAccessUnit);
}

TEST(VideoMessageTest, DamagedOrForeignBytesAreRefusedWithAReason) {
  const Bytes good = build_message(MessageHeader{false, 640, 480, 1, 2}, kAccessUnit);
  struct Case {
    std::string name;
    std::function<Bytes()> make;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"empty", [] { return Bytes{}; }, "video message shorter than its header"},
      {"header without access unit", [&] { return Bytes(good.begin(), good.begin() + kMessageHeaderBytes); },
       "video message shorter than its header"},
      {"over 2 MiB", [] { return Bytes(kMaxMessageBytes + 1, 0); }, "video message exceeds 2 MiB"},
      {"magic", [&] { Bytes m = good; m[1] = 'W'; return m; }, "not a video message"},
      {"version", [&] { Bytes m = good; m[2] = 9; return m; }, "unsupported video message version 9"},
      {"flags", [&] { Bytes m = good; m[3] = 0x02; return m; }, "unknown video message flags"},
      {"zero size", [] { return build_message(MessageHeader{true, 0, 0, 1, 0}, kAccessUnit); },
       "video message frame size out of range"},
      {"odd width", [] { return build_message(MessageHeader{true, 641, 480, 1, 0}, kAccessUnit); },
       "video message frame size out of range"},
      {"too many pixels", [] { return build_message(MessageHeader{true, 4096, 4096, 1, 0}, kAccessUnit); },
       "video message frame size out of range"},
      {"flipped payload bit", [&] { Bytes m = good; m.back() ^= 1; return m; }, "video message checksum mismatch"},
      {"flipped sequence bit", [&] { Bytes m = good; m[15] ^= 1; return m; }, "video message checksum mismatch"},
      {"keyframe flag set", [&] { Bytes m = good; m[3] = 1; return m; }, "video message checksum mismatch"},
      {"truncated", [&] { return Bytes(good.begin(), good.end() - 1); }, "video message checksum mismatch"},
  };
  for (const Case& c : cases) {
    auto parsed = parse_message(c.make());
    ASSERT_FALSE(parsed.ok()) << c.name;
    EXPECT_EQ(parsed.error().message, c.error) << c.name;
  }
}

TEST(VideoMessageTest, MessageOfExactlyTheLimitIsAccepted) {
  const Bytes au(kMaxMessageBytes - kMessageHeaderBytes, 0x11);
  const Bytes message = build_message(MessageHeader{true, 2, 2, 0, 0}, au);
  ASSERT_EQ(message.size(), kMaxMessageBytes);
  EXPECT_TRUE(parse_message(message).ok());
}

}  // namespace
}  // namespace kivo::callstream
