// Two endpoints in two network namespaces joined by a veth pair that the test makes and removes.
// Traffic stays on that pair: the addresses are 10.201.x.x inside the test's own namespaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "runtime/p2p/endpoint.h"
#include "tests/runtime/p2p/p2p_test_support.h"

namespace kivo::p2p {
namespace {

using testing::await;
using testing::random_bytes;
using testing::read_all;
using testing::send_all;

bool sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class NetnsPair : public ::testing::Test {
protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root; skipped";
    if (!sh("ip -V")) GTEST_SKIP() << "iproute2 (ip) is not installed; skipped";
    const int id = static_cast<int>(getpid() % 100000);
    subnet = std::to_string(getpid() % 250 + 1);
    ns_a = "kivo-p2p-a-" + std::to_string(id);
    ns_b = "kivo-p2p-b-" + std::to_string(id);
    const std::string veth_a = "kpa" + std::to_string(id), veth_b = "kpb" + std::to_string(id);
    ip_a = "10.201." + subnet + ".1";
    ip_b = "10.201." + subnet + ".2";
    created = sh("ip netns add " + ns_a) && sh("ip netns add " + ns_b);
    bool ok = created && sh("ip -n " + ns_a + " link add " + veth_a + " type veth peer name " + veth_b + " netns " + ns_b) &&
              sh("ip -n " + ns_a + " addr add " + ip_a + "/24 dev " + veth_a) &&
              sh("ip -n " + ns_b + " addr add " + ip_b + "/24 dev " + veth_b) &&
              sh("ip -n " + ns_a + " link set " + veth_a + " up") && sh("ip -n " + ns_b + " link set " + veth_b + " up") &&
              sh("ip -n " + ns_a + " link set lo up") && sh("ip -n " + ns_b + " link set lo up");
    if (!ok) GTEST_SKIP() << "cannot create network namespaces with a veth pair here; skipped";
  }

  void TearDown() override {
    if (created) {
      sh("ip netns del " + ns_a);
      sh("ip netns del " + ns_b);
    }
  }

  // Binds an endpoint from a thread that has entered the namespace: the socket stays in it.
  Result<std::unique_ptr<Endpoint>> bind_in(const std::string& ns, EndpointConfig config) {
    Result<std::unique_ptr<Endpoint>> result = make_error("not run");
    std::thread worker([&] {
      int fd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
        if (fd >= 0) close(fd);
        result = make_error("cannot enter namespace " + ns);
        return;
      }
      close(fd);
      result = Endpoint::bind(std::move(config));
    });
    worker.join();
    return result;
  }

  std::string ns_a, ns_b, ip_a, ip_b, subnet;
  bool created = false;
};

TEST_F(NetnsPair, TenMiBStreamCrossesTheVethPair) {
  EndpointConfig config = testing::test_config();
  config.bind_host = "";  // wildcard, as an application binds
  auto server = bind_in(ns_a, config);
  if (!server.ok()) GTEST_SKIP() << server.error().message;
  auto client = bind_in(ns_b, config);
  ASSERT_TRUE(client.ok()) << client.error().message;

  // The ticket the server would publish lists its veth address.
  EndpointAddress published = (*server)->address();
  bool lists_veth = false;
  for (const auto& addr : published.addrs)
    if (auto* ip = std::get_if<SocketAddr>(&addr)) lists_veth |= ip->host == ip_a;
  EXPECT_TRUE(lists_veth) << to_json(published);
  auto ticket = parse_endpoint_address(to_json(published));
  ASSERT_TRUE(ticket.ok()) << ticket.error().message;
  // Dial the veth address only, so the exchange must cross the pair.
  EndpointAddress over_veth{ticket->id, {SocketAddr{ip_a, (*server)->local_addr().port}}};

  auto accepted = std::make_shared<std::promise<Connection>>();
  auto accepted_future = accepted->get_future();
  Router router;
  ASSERT_TRUE(router.add("kivo-test/0", [accepted](Connection c) { accepted->set_value(c); }).ok());
  (*server)->serve(std::move(router));

  auto connected = std::make_shared<std::promise<Result<Connection>>>();
  auto connected_future = connected->get_future();
  (*client)->connect(over_veth, "kivo-test/0", [connected](Result<Connection> c) { connected->set_value(std::move(c)); });
  auto conn = await(connected_future);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  EXPECT_EQ(conn->remote_addr().host, ip_a);
  Connection peer = await(accepted_future);
  EXPECT_EQ(peer.remote_id(), (*client)->id());
  EXPECT_EQ(peer.remote_addr().host, ip_b);

  std::promise<Result<Bytes>> received;
  auto received_future = received.get_future();
  peer.accept_uni([&](Result<RecvStream> s) {
    if (!s) return received.set_value(s.take_error());
    read_all(*s, [&](Result<Bytes> all) { received.set_value(std::move(all)); });
  });
  auto data = std::make_shared<const Bytes>(random_bytes(10 << 20, 7));
  std::promise<Status> sent;
  auto sent_future = sent.get_future();
  conn->open_uni([&](Result<SendStream> s) {
    if (!s) return sent.set_value(s.take_error());
    send_all(*s, data, 256 * 1024, [&](Status st) { sent.set_value(std::move(st)); });
  });
  Status send_status = await(sent_future);
  ASSERT_TRUE(send_status.ok()) << send_status.error().message;
  auto got = await(received_future);
  ASSERT_TRUE(got.ok()) << got.error().message;
  EXPECT_TRUE(*got == *data);
}

}  // namespace
}  // namespace kivo::p2p
