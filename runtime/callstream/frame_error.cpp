// Display texts of frame errors.
#include "runtime/callstream/frame_error.h"

namespace kivo::callstream {
namespace {

struct DisplayText {
  std::string operator()(const FrameSizeMismatch& e) const {
    return "the video frame has " + std::to_string(e.actual_bytes) + " bytes instead of " +
           std::to_string(e.expected_bytes);
  }
  std::string operator()(const EncoderFailure& e) const { return "the video encoder failed: " + e.detail; }
  std::string operator()(const MessageTooLarge& e) const {
    return "an encoded video frame of " + std::to_string(e.bytes) + " bytes exceeds the limit of " +
           std::to_string(e.limit) + " bytes";
  }
};

}  // namespace

std::string display_text(const FrameError& error) { return std::visit(DisplayText{}, error.reason); }

}  // namespace kivo::callstream
