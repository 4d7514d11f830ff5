#include "call/media_receive.h"

namespace chat {

bool MediaReceiveFilter::accept(const MediaPacket& packet, const std::string& local_user) {
  if (packet.sender == local_user) return false;
  auto key = std::make_pair(packet.sender, packet.kind);
  bool restart = packet.sequence == 0 && packet.timestamp.count() == 0;
  if (!restart) {
    auto it = m_last.find(key);
    if (it != m_last.end() && packet.sequence <= it->second) return false;
  }
  m_last[key] = packet.sequence;
  return true;
}

}  // namespace chat
