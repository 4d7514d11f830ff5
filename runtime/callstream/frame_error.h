// Why a frame offered for sending produced no message, with a text fit for the user.
#pragma once

#include <cstddef>
#include <string>
#include <variant>

namespace kivo::callstream {

// The frame's byte count does not match width * height * 4 of the stream.
struct FrameSizeMismatch {
  std::size_t expected_bytes = 0;
  std::size_t actual_bytes = 0;
};

// libavcodec or libswscale refused the frame.
struct EncoderFailure {
  std::string detail;
};

// Even at the lowest quality the encoded frame did not fit in one message.
struct MessageTooLarge {
  std::size_t bytes = 0;
  std::size_t limit = 0;
};

struct FrameError {
  std::variant<FrameSizeMismatch, EncoderFailure, MessageTooLarge> reason;
};

// One line for the user, e.g. "the video encoder failed: ...".
std::string display_text(const FrameError& error);

}  // namespace kivo::callstream
