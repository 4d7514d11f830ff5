// The screen-share sender: pacing to the frame rate, the message size bound, and its errors.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "runtime/callstream/frame_pacer.h"
#include "runtime/callstream/h264_decoder.h"
#include "runtime/callstream/h264_encoder.h"
#include "runtime/callstream/video_message.h"
#include "runtime/callstream/video_stream_receiver.h"
#include "runtime/callstream/video_stream_sender.h"
#include "tests/runtime/callstream/test_images.h"

namespace kivo::callstream {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;
using testing::moving_pattern;
using testing::noise_image;

const MonotonicTime kStart = MonotonicTime{} + 1000s;

struct PacingCase {
  std::string name;
  nanoseconds period;  // between offers
  nanoseconds jitter;  // added to every second offer
  int offers;
  int expected;        // frames admitted at 30 frames per second
};

TEST(FramePacerTest, AdmitsAtMostTheFrameRate) {
  const std::vector<PacingCase> cases = {
      {"every millisecond for 2.99 s", 1ms, 0ms, 2990, 90},
      {"60 Hz for 3 s", nanoseconds(16'666'667), 0ms, 180, 90},
      {"exactly 30 Hz", nanoseconds(33'333'333), 0ms, 90, 90},
      {"30 Hz arriving up to 3 ms early", nanoseconds(33'333'333), -3ms, 90, 90},
      {"30 Hz arriving up to 3 ms late", nanoseconds(33'333'333), 3ms, 90, 90},
      {"24 Hz, slower than the rate", nanoseconds(41'666'667), 0ms, 72, 72},
      {"10 Hz", 100ms, 0ms, 30, 30},
      {"a burst at one instant", 0ms, 0ms, 10, 1},
  };
  for (const PacingCase& c : cases) {
    FramePacer pacer = make_frame_pacer(30);
    int admitted = 0;
    for (int i = 0; i < c.offers; ++i) {
      const MonotonicTime now = kStart + c.period * i + (i % 2 == 1 ? c.jitter : 0ms);
      if (admit_frame(pacer, now)) ++admitted;
    }
    EXPECT_EQ(admitted, c.expected) << c.name;
  }
}

TEST(FramePacerTest, FallingBehindDoesNotBurstAndABackwardClockRestarts) {
  FramePacer pacer = make_frame_pacer(30);
  ASSERT_TRUE(admit_frame(pacer, kStart));
  ASSERT_TRUE(admit_frame(pacer, kStart + 500ms)) << "after a stall";
  EXPECT_FALSE(admit_frame(pacer, kStart + 510ms)) << "no catching up on the missed slots";
  EXPECT_TRUE(admit_frame(pacer, kStart + 534ms));
  EXPECT_TRUE(admit_frame(pacer, kStart + 100ms)) << "the clock went back";
  EXPECT_FALSE(admit_frame(pacer, kStart + 110ms));
}

TEST(VideoStreamSenderTest, FramesOfferedTooSoonGiveNothingToSend) {
  auto sender = VideoStreamSender::create(64, 48, 30);
  ASSERT_TRUE(sender.ok()) << sender.error().message;
  const auto picture = moving_pattern(64, 48, 0);
  FrameOffer first = sender->offer_frame(picture, kStart);
  ASSERT_TRUE(std::holds_alternative<MessageToSend>(first));
  EXPECT_TRUE(std::get<MessageToSend>(first).keyframe);
  EXPECT_TRUE(std::holds_alternative<NothingToSend>(sender->offer_frame(picture, kStart + 10ms)));
  FrameOffer next = sender->offer_frame(picture, kStart + 34ms);
  ASSERT_TRUE(std::holds_alternative<MessageToSend>(next));
  EXPECT_FALSE(std::get<MessageToSend>(next).keyframe);
}

TEST(VideoStreamSenderTest, WrongFrameSizeIsAFrameErrorWithADisplayText) {
  auto sender = VideoStreamSender::create(64, 48, 30);
  ASSERT_TRUE(sender.ok());
  FrameOffer offer = sender->offer_frame(std::vector<std::uint8_t>(100), kStart);
  ASSERT_TRUE(std::holds_alternative<FrameError>(offer));
  const FrameError& error = std::get<FrameError>(offer);
  EXPECT_TRUE(std::holds_alternative<FrameSizeMismatch>(error.reason));
  EXPECT_EQ(display_text(error), "the video frame has 100 bytes instead of 12288");
  // The stream is unharmed: the next proper frame is sent, as a keyframe.
  FrameOffer good = sender->offer_frame(moving_pattern(64, 48, 0), kStart);
  ASSERT_TRUE(std::holds_alternative<MessageToSend>(good));
  EXPECT_TRUE(std::get<MessageToSend>(good).keyframe);
}

TEST(VideoStreamSenderTest, RefusesUnusableSettings) {
  EXPECT_FALSE(VideoStreamSender::create(1280, 0, 30).ok());
  EXPECT_FALSE(VideoStreamSender::create(1281, 960, 30).ok());
  EXPECT_FALSE(VideoStreamSender::create(1280, 960, 0).ok());
  auto settings = call_encoder_settings(64, 48, 30);
  ASSERT_TRUE(settings.ok());
  EncoderSettings s = *settings;
  s.keyframe_interval = 61;
  EXPECT_FALSE(VideoStreamSender::create(s).ok()) << "keyframes more than 2 s apart";
  s = *settings;
  s.max_message_bytes = kMaxMessageBytes + 1;
  EXPECT_FALSE(VideoStreamSender::create(s).ok()) << "messages above 2 MiB";
}

// Sends `frames` pictures 34 ms apart and checks every message against the limit; returns
// how many messages went out, decoding each with a receiver.
int send_and_check(VideoStreamSender& sender, const std::vector<std::vector<std::uint8_t>>& pictures,
                   std::size_t limit, int* too_large) {
  VideoStreamReceiver receiver;
  int sent = 0;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    FrameOffer offer = sender.offer_frame(pictures[i], kStart + 34ms * static_cast<int>(i));
    if (auto* error = std::get_if<FrameError>(&offer)) {
      EXPECT_TRUE(std::holds_alternative<MessageTooLarge>(error->reason)) << display_text(*error);
      ++*too_large;
      continue;
    }
    auto* message = std::get_if<MessageToSend>(&offer);
    if (message == nullptr) {
      ADD_FAILURE() << "frame " << i << " was not sent";
      continue;
    }
    EXPECT_LE(message->bytes.size(), limit) << "frame " << i;
    ++sent;
    receiver.push(message->bytes);
  }
  EXPECT_GE(receiver.stats().frames, 1u);
  return sent;
}

TEST(VideoStreamSenderTest, NoisyScreenStaysWithinTwoMebibytes) {
  auto sender = VideoStreamSender::create(1280, 960, 30);
  ASSERT_TRUE(sender.ok());
  std::vector<std::vector<std::uint8_t>> pictures;
  for (unsigned i = 0; i < 4; ++i) pictures.push_back(noise_image(1280, 960, i));
  int too_large = 0;
  EXPECT_EQ(send_and_check(*sender, pictures, kMaxMessageBytes, &too_large), 4);
  EXPECT_EQ(too_large, 0);
}

TEST(VideoStreamSenderTest, OversizedFrameIsSentAgainAtLowerQuality) {
  // Generous rate and near-lossless quality, but a small limit: noise cannot fit at first.
  auto settings = call_encoder_settings(320, 240, 30);
  ASSERT_TRUE(settings.ok());
  EncoderSettings s = *settings;
  s.max_bitrate = 12'000'000;
  s.crf = 0;
  s.max_message_bytes = 48 * 1024;
  auto sender = VideoStreamSender::create(s);
  ASSERT_TRUE(sender.ok());
  std::vector<std::vector<std::uint8_t>> pictures;
  for (unsigned i = 0; i < 6; ++i) pictures.push_back(noise_image(320, 240, i));
  int too_large = 0;
  const int sent = send_and_check(*sender, pictures, s.max_message_bytes, &too_large);
  EXPECT_GT(sender->quality_reduction(), 0);
  EXPECT_EQ(sent + too_large, 6);
  EXPECT_GT(sent, 0);
}

}  // namespace
}  // namespace kivo::callstream

namespace kivo::callstream {
namespace {

TEST(VideoStreamSenderTest, QualityClimbsBackWhenThePictureGetsEasy) {
  auto settings = call_encoder_settings(160, 120, 30);
  ASSERT_TRUE(settings.ok());
  EncoderSettings s = *settings;
  s.max_bitrate = 12'000'000;
  s.crf = 0;
  s.max_message_bytes = 12 * 1024;
  auto encoder = H264Encoder::create(s);
  ASSERT_TRUE(encoder.ok());
  for (unsigned i = 0; i < 3; ++i) (void)encoder->encode_frame(noise_image(160, 120, i));
  const int lowered = encoder->quality_reduction();
  ASSERT_GT(lowered, 0);
  // Seven seconds of a calm picture: at least one step back, and every message still fits.
  H264Decoder decoder;
  int shown = 0;
  for (int t = 0; t < 7 * 30; ++t) {
    EncodeOutcome outcome = encoder->encode_frame(moving_pattern(160, 120, t));
    auto* message = std::get_if<EncodedMessage>(&outcome);
    ASSERT_NE(message, nullptr) << t;
    EXPECT_LE(message->bytes.size(), s.max_message_bytes);
    shown += decoder.decode(message->bytes).has_value() ? 1 : 0;
  }
  EXPECT_LT(encoder->quality_reduction(), lowered);
  EXPECT_GE(shown, 7 * 30 - 30) << "the stream stays decodable across the encoder restarts";
}

}  // namespace
}  // namespace kivo::callstream
