// The receive rules for drained media packets: drop our own, drop stale ones per sender and kind.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "call/media_packet.h"

namespace chat {

class MediaReceiveFilter {
public:
  // True when the packet should be played: not from `local_user` and not older than the last
  // accepted one of its sender and kind (a packet with sequence 0 and timestamp 0 always passes).
  bool accept(const MediaPacket& packet, const std::string& local_user);
  void reset() { m_last.clear(); }

private:
  std::map<std::pair<std::string, MediaKind>, uint64_t> m_last;
};

}  // namespace chat
