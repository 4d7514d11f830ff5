// Length-prefixed frames: a 4-byte little-endian body length, then the body.
// The writer and the incremental reader here are used identically on both ends of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kivo_frame {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kPrefixBytes = 4;
inline constexpr uint32_t kDefaultMaxBody = 2'097'431;  // 23 fixed bytes + 256 sender + 2 MiB payload

// Why a stream of frames could not be read or written.
struct FrameError {
  enum class Kind {
    TooLarge,         // a body above the maximum (writer: refused before writing; reader: prefix rejected)
    TruncatedPrefix,  // the stream ended inside a length prefix
    TruncatedBody,    // the stream ended inside a body
  };
  Kind kind = Kind::TooLarge;
  uint64_t expected = 0;  // bytes the frame needed
  uint64_t got = 0;       // bytes that arrived
  std::string display() const;
};

// The error for a stream that ended after `got` (1..3) bytes of a prefix.
FrameError classify_prefix_error(size_t got);
// The error for a stream that ended after `got` of `expected` body bytes.
FrameError truncated(uint64_t expected, uint64_t got);

// Encodes one frame; refuses a body above `max_body` (or above 32 bits) before producing anything.
std::variant<Bytes, FrameError> encode_frame(std::span<const uint8_t> body, uint32_t max_body = kDefaultMaxBody);
// Appends one frame to `out`; on refusal `out` is unchanged.
std::optional<FrameError> append_frame(Bytes& out, std::span<const uint8_t> body, uint32_t max_body = kDefaultMaxBody);

// Incremental reader: feed bytes as they arrive, take whole frames out. After an error it stays failed.
class FrameReader {
public:
  explicit FrameReader(uint32_t max_body = kDefaultMaxBody) : m_max_body(max_body) {}

  void feed(std::span<const uint8_t> bytes);  // bytes after an error are ignored
  std::optional<Bytes> next();                // the next complete frame body, if any
  // Called when the stream has ended: nothing for a clean end (at a frame boundary), else the error.
  std::optional<FrameError> finish() const;
  const std::optional<FrameError>& error() const { return m_error; }
  size_t buffered() const { return m_partial.size(); }  // bytes of the frame being read

private:
  uint32_t m_max_body;
  std::deque<Bytes> m_ready;
  Bytes m_partial;  // prefix then body of the frame in progress
  std::optional<uint32_t> m_body_len;
  std::optional<FrameError> m_error;
};

}  // namespace kivo_frame
