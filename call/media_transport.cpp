#include "call/media_transport.h"

#include <algorithm>

namespace chat {

void MediaBookkeeping::publish(MediaKind kind) {
  if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
}

void MediaBookkeeping::unpublish(MediaKind kind) { std::erase(kinds, kind); }

void MediaBookkeeping::note_peer(const std::string& user, uint64_t counter) {
  auto pair = std::make_pair(user, counter);
  if (std::find(peers.begin(), peers.end(), pair) == peers.end()) peers.push_back(std::move(pair));
}

bool SimulatedTransport::send(MediaPacket packet) {
  if (!is_valid_packet(packet) || m_queue.size() >= kMediaQueueCapacity) return false;
  m_queue.push_back(std::move(packet));
  return true;
}

std::vector<MediaPacket> SimulatedTransport::drain() {
  std::vector<MediaPacket> out;
  while (!m_queue.empty() && out.size() < kMaxDrainPerCall) {
    out.push_back(std::move(m_queue.front()));
    m_queue.pop_front();
  }
  return out;
}

}  // namespace chat
