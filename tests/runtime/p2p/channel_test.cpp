// The bounded channel that carries results to a UI thread without blocking it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/p2p/channel.h"

namespace kivo::p2p {
namespace {

TEST(Channel, RefusesWhenFullOrClosedAndKeepsOrder) {
  int wakes = 0;
  Channel<int> channel(2, [&] { ++wakes; });
  EXPECT_EQ(channel.try_send(1), SendResult::sent);
  EXPECT_EQ(channel.try_send(2), SendResult::sent);
  int third = 3;
  EXPECT_EQ(channel.try_send(third), SendResult::full);
  EXPECT_EQ(third, 3);  // handed back untouched
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(channel.try_recv(), 1);
  EXPECT_EQ(channel.try_recv(), 2);
  EXPECT_EQ(channel.try_recv(), std::nullopt);
  channel.close();
  EXPECT_EQ(channel.try_send(4), SendResult::closed);
}

TEST(Channel, ManyProducersLoseNothingAccepted) {
  Channel<int> channel(100000);
  std::atomic<int> sent{0};
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t)
    producers.emplace_back([&] {
      for (int i = 0; i < 1000; ++i)
        if (channel.try_send(i) == SendResult::sent) ++sent;
    });
  for (auto& p : producers) p.join();
  int got = 0;
  while (channel.try_recv()) ++got;
  EXPECT_EQ(got, sent.load());
  EXPECT_EQ(got, 4000);
}

}  // namespace
}  // namespace kivo::p2p
