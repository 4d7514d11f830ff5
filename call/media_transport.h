// MediaTransport: how call media leaves and reaches this application. The simulated transport
// loops packets back locally; the pending one stands in while the network endpoint starts.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "call/media_packet.h"

namespace chat {

inline constexpr size_t kMediaQueueCapacity = 128;
inline constexpr size_t kMaxDrainPerCall = 64;

// Published kinds (an ordered set) and noted peers (no duplicate pairs): kept by every transport.
struct MediaBookkeeping {
  std::vector<MediaKind> kinds;
  std::vector<std::pair<std::string, uint64_t>> peers;

  void publish(MediaKind kind);
  void unpublish(MediaKind kind);
  void note_peer(const std::string& user, uint64_t counter);
};

class MediaTransport {
public:
  virtual ~MediaTransport() = default;
  virtual bool is_network() const = 0;
  virtual std::optional<std::string> local_ticket() const = 0;
  virtual bool connect(const std::string& ticket) = 0;
  virtual void publish(MediaKind kind) = 0;
  virtual void unpublish(MediaKind kind) = 0;
  virtual void note_peer(const std::string& user, uint64_t counter) = 0;
  virtual bool send(MediaPacket packet) = 0;         // true when a receiver accepted it
  virtual std::vector<MediaPacket> drain() = 0;      // at most 64, oldest first
};

class SimulatedTransport final : public MediaTransport {
public:
  bool is_network() const override { return false; }
  std::optional<std::string> local_ticket() const override { return "sim://local"; }
  bool connect(const std::string&) override { return true; }
  void publish(MediaKind kind) override { m_book.publish(kind); }
  void unpublish(MediaKind kind) override { m_book.unpublish(kind); }
  void note_peer(const std::string& user, uint64_t counter) override { m_book.note_peer(user, counter); }
  bool send(MediaPacket packet) override;
  std::vector<MediaPacket> drain() override;

  const MediaBookkeeping& bookkeeping() const { return m_book; }
  size_t queued() const { return m_queue.size(); }

private:
  MediaBookkeeping m_book;
  std::deque<MediaPacket> m_queue;
};

// Stands in while the network starts: remembers publications and peers, drops media.
class PendingTransport final : public MediaTransport {
public:
  explicit PendingTransport(MediaBookkeeping& pending) : m_pending(pending) {}
  bool is_network() const override { return true; }
  std::optional<std::string> local_ticket() const override { return std::nullopt; }
  bool connect(const std::string&) override { return false; }
  void publish(MediaKind kind) override { m_pending.publish(kind); }
  void unpublish(MediaKind kind) override { m_pending.unpublish(kind); }
  void note_peer(const std::string& user, uint64_t counter) override { m_pending.note_peer(user, counter); }
  bool send(MediaPacket) override { return false; }
  std::vector<MediaPacket> drain() override { return {}; }

private:
  MediaBookkeeping& m_pending;
};

}  // namespace chat
