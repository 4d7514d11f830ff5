#include <gtest/gtest.h>

#include "call/media_receive.h"
#include "call/media_transport.h"

namespace chat {
namespace {

MediaPacket from(std::string sender, uint64_t seq, int64_t ms = 1, MediaKind kind = MediaKind::Microphone) {
  MediaPacket p;
  p.sender = std::move(sender);
  p.sequence = seq;
  p.kind = kind;
  p.timestamp = std::chrono::milliseconds(ms);
  return p;
}

TEST(SimulatedTransport, LoopsBackBoundedAndInOrder) {
  SimulatedTransport t;
  EXPECT_FALSE(t.is_network());
  EXPECT_EQ(t.local_ticket(), "sim://local");
  EXPECT_TRUE(t.connect("anything"));
  EXPECT_FALSE(t.send(from("", 0)));  // invalid: no sender
  for (uint64_t i = 0; i < 130; ++i) EXPECT_EQ(t.send(from("u_me", i)), i < kMediaQueueCapacity) << i;
  auto first = t.drain();
  ASSERT_EQ(first.size(), 64u);
  EXPECT_EQ(first.front().sequence, 0u);
  EXPECT_EQ(t.drain().size(), 64u);
  EXPECT_TRUE(t.drain().empty());
}

TEST(Transports, BookkeepingHasNoDuplicates) {
  MediaBookkeeping pending;
  PendingTransport t(pending);
  EXPECT_TRUE(t.is_network());
  EXPECT_FALSE(t.local_ticket());
  EXPECT_FALSE(t.connect("ticket"));
  EXPECT_FALSE(t.send(from("u_me", 1)));
  t.publish(MediaKind::Camera);
  t.publish(MediaKind::Microphone);
  t.publish(MediaKind::Camera);
  t.unpublish(MediaKind::ScreenShare);
  t.note_peer("u_a", 1);
  t.note_peer("u_a", 1);
  t.note_peer("u_a", 2);
  EXPECT_EQ(pending.kinds, (std::vector<MediaKind>{MediaKind::Camera, MediaKind::Microphone}));
  EXPECT_EQ(pending.peers.size(), 2u);
}

TEST(MediaReceiveFilter, DropsOwnAndStalePackets) {
  MediaReceiveFilter filter;
  EXPECT_FALSE(filter.accept(from("u_me", 1), "u_me"));
  EXPECT_TRUE(filter.accept(from("u_a", 9), "u_me"));
  EXPECT_FALSE(filter.accept(from("u_a", 5), "u_me"));
  EXPECT_FALSE(filter.accept(from("u_a", 9), "u_me"));
  EXPECT_TRUE(filter.accept(from("u_a", 5, 1, MediaKind::Camera), "u_me"));  // kinds are apart
  EXPECT_TRUE(filter.accept(from("u_a", 0, 0), "u_me"));                      // a restarted stream
  EXPECT_TRUE(filter.accept(from("u_a", 1), "u_me"));
  EXPECT_TRUE(filter.accept(from("u_a", 0, 0), "u_me"));
}

}  // namespace
}  // namespace chat
