#include "runtime/frame/frame.h"

#include <algorithm>
#include <limits>

namespace kivo_frame {

std::string FrameError::display() const {
  switch (kind) {
    case Kind::TooLarge:
      return "frame of " + std::to_string(expected) + " bytes exceeds the limit";
    case Kind::TruncatedPrefix:
      return "stream ended inside a frame length (" + std::to_string(got) + " of 4 bytes)";
    case Kind::TruncatedBody:
      return "stream ended inside a frame (" + std::to_string(got) + " of " + std::to_string(expected) + " bytes)";
  }
  return "frame error";
}

FrameError classify_prefix_error(size_t got) {
  return FrameError{FrameError::Kind::TruncatedPrefix, kPrefixBytes, got};
}

FrameError truncated(uint64_t expected, uint64_t got) { return FrameError{FrameError::Kind::TruncatedBody, expected, got}; }

std::optional<FrameError> append_frame(Bytes& out, std::span<const uint8_t> body, uint32_t max_body) {
  if (body.size() > max_body || body.size() > std::numeric_limits<uint32_t>::max())
    return FrameError{FrameError::Kind::TooLarge, body.size(), 0};
  auto len = static_cast<uint32_t>(body.size());
  out.reserve(out.size() + kPrefixBytes + body.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(len >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  return std::nullopt;
}

std::variant<Bytes, FrameError> encode_frame(std::span<const uint8_t> body, uint32_t max_body) {
  Bytes out;
  if (auto error = append_frame(out, body, max_body)) return *error;
  return out;
}

void FrameReader::feed(std::span<const uint8_t> bytes) {
  size_t pos = 0;
  while (!m_error && pos < bytes.size()) {
    if (!m_body_len) {
      size_t take = std::min(kPrefixBytes - m_partial.size(), bytes.size() - pos);
      m_partial.insert(m_partial.end(), bytes.begin() + pos, bytes.begin() + pos + take);
      pos += take;
      if (m_partial.size() < kPrefixBytes) return;
      uint32_t len = uint32_t(m_partial[0]) | (uint32_t(m_partial[1]) << 8) | (uint32_t(m_partial[2]) << 16) |
                     (uint32_t(m_partial[3]) << 24);
      m_partial.clear();
      if (len > m_max_body) {
        m_error = FrameError{FrameError::Kind::TooLarge, len, 0};
        return;
      }
      m_body_len = len;
      m_partial.reserve(len);
    }
    size_t take = std::min<size_t>(*m_body_len - m_partial.size(), bytes.size() - pos);
    m_partial.insert(m_partial.end(), bytes.begin() + pos, bytes.begin() + pos + take);
    pos += take;
    if (m_partial.size() == *m_body_len) {
      m_ready.push_back(std::move(m_partial));
      m_partial = Bytes();
      m_body_len.reset();
    }
  }
}

std::optional<Bytes> FrameReader::next() {
  if (m_ready.empty()) return std::nullopt;
  Bytes body = std::move(m_ready.front());
  m_ready.pop_front();
  return body;
}

std::optional<FrameError> FrameReader::finish() const {
  if (m_error) return m_error;
  if (m_body_len) return truncated(*m_body_len, m_partial.size());
  if (!m_partial.empty()) return classify_prefix_error(m_partial.size());
  return std::nullopt;
}

}  // namespace kivo_frame
