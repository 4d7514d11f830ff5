#include <gtest/gtest.h>

#include "call/media_packet.h"
#include "runtime/frame/frame.h"

namespace chat {
namespace {

MediaPacket packet(size_t sender_bytes = 4, size_t payload_bytes = 3) {
  MediaPacket p;
  p.kind = MediaKind::Camera;
  p.sequence = 0x0102030405060708ull;
  p.timestamp = std::chrono::milliseconds(1500) + std::chrono::microseconds(999);
  p.sender = std::string(sender_bytes, 'u');
  p.payload = std::vector<uint8_t>(payload_bytes, 0xAB);
  return p;
}

TEST(MediaPacket, EncodingIsExactlyTabled) {
  auto p = packet(2, 1);
  p.sender = "u1";
  auto bytes = encode_packet(p);
  std::vector<uint8_t> expected = {1, 8, 7, 6, 5, 4, 3, 2, 1, 0xDC, 0x05, 0, 0, 0, 0, 0, 0, 2, 0, 'u', '1', 1, 0, 0, 0, 0xAB};
  EXPECT_EQ(bytes, expected);
  auto back = decode_packet(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->timestamp, std::chrono::milliseconds(1500));  // millisecond resolution on the wire
  EXPECT_EQ(back->sender, "u1");
  EXPECT_EQ(back->sequence, p.sequence);
}

TEST(MediaPacket, BoundariesOnBothSides) {
  EXPECT_TRUE(is_valid_packet(packet(256)));
  EXPECT_FALSE(is_valid_packet(packet(257)));
  EXPECT_FALSE(is_valid_packet(packet(0)));
  EXPECT_TRUE(is_valid_packet(packet(4, kMaxMediaPayload)));
  EXPECT_FALSE(is_valid_packet(packet(4, kMaxMediaPayload + 1)));

  auto big = encode_packet(packet(256, kMaxMediaPayload));
  EXPECT_EQ(big.size(), size_t(kivo_frame::kDefaultMaxBody));
  EXPECT_TRUE(decode_packet(big));
  EXPECT_FALSE(std::holds_alternative<kivo_frame::FrameError>(kivo_frame::encode_frame(big)));

  // A 257-byte sender encoded by hand is refused by the decoder too.
  auto too_long = encode_packet(packet(256));
  too_long[17] = 1;
  too_long[18] = 1;  // S = 257
  too_long.insert(too_long.begin() + 19, 'u');
  EXPECT_FALSE(decode_packet(too_long));
}

TEST(MediaPacket, DecoderRejectsEverythingButAnExactEncoding) {
  auto good = encode_packet(packet());
  auto with = [&](auto edit) {
    auto b = good;
    edit(b);
    return b;
  };
  std::vector<std::vector<uint8_t>> bad = {
      {},
      with([](auto& b) { b[0] = 3; }),
      with([](auto& b) { b.resize(18); }),
      with([](auto& b) { b.resize(19 + 2); }),
      with([](auto& b) { b[17] = 0; }),                      // S = 0
      with([](auto& b) { b[19] = 0xFF; }),                   // invalid UTF-8 sender
      with([](auto& b) { b.resize(24); }),                   // inside the payload length
      with([](auto& b) { b.push_back(0); }),                 // one byte after the payload
      with([](auto& b) { b.resize(b.size() - 1); }),                 // payload shorter than P
      with([](auto& b) { b[23 + 0] = 0xFF; b[24] = 0xFF; b[25] = 0xFF; b[26] = 0x7F; }),  // P > 2 MiB
      with([](auto& b) { for (int i = 9; i < 17; ++i) b[i] = 0xFF; }),  // timestamp beyond range
  };
  for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(decode_packet(bad[i])) << "case " << i;
  EXPECT_TRUE(decode_packet(good));
}

}  // namespace
}  // namespace chat
