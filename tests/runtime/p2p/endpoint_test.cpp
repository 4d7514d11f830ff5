// Two endpoints on loopback: authentication, ALPN routing, stream transfers, backpressure,
// peer death and shutdown.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "runtime/p2p/endpoint.h"
#include "tests/runtime/p2p/p2p_test_support.h"

namespace kivo::p2p {
namespace {

using namespace std::chrono_literals;
using testing::await;
using testing::bind_or_die;
using testing::connect_sync;
using testing::random_bytes;
using testing::read_all;
using testing::send_all;
using testing::test_config;

const std::string kAlpn = "kivo-test/0";

// A server that hands every accepted connection to the test through a promise.
struct Server {
  std::unique_ptr<Endpoint> endpoint;
  std::shared_ptr<std::promise<Connection>> accepted = std::make_shared<std::promise<Connection>>();
  std::future<Connection> next = accepted->get_future();

  explicit Server(EndpointConfig config = test_config(), std::string alpn = kAlpn) {
    endpoint = bind_or_die(std::move(config));
    Router router;
    auto promise = accepted;
    auto once = std::make_shared<std::once_flag>();
    EXPECT_TRUE(router.add(alpn, [promise, once](Connection c) {
      std::call_once(*once, [&] { promise->set_value(c); });
    }).ok());
    endpoint->serve(std::move(router));
  }
};

TEST(Endpoint, TenMiBStreamArrivesByteExactAndBothSidesKnowTheKeys) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  EXPECT_EQ(conn->remote_id(), server.endpoint->id());
  EXPECT_EQ(conn->alpn(), kAlpn);

  Connection accepted = await(server.next);
  EXPECT_EQ(accepted.remote_id(), client->id());
  EXPECT_EQ(accepted.alpn(), kAlpn);
  std::promise<Result<Bytes>> received;
  auto received_future = received.get_future();
  accepted.accept_uni([&](Result<RecvStream> s) {
    if (!s) return received.set_value(s.take_error());
    read_all(*s, [&](Result<Bytes> all) { received.set_value(std::move(all)); });
  });

  auto data = std::make_shared<const Bytes>(random_bytes(10 << 20, 1));
  std::promise<Status> sent;
  auto sent_future = sent.get_future();
  conn->open_uni([&](Result<SendStream> s) {
    if (!s) return sent.set_value(s.take_error());
    send_all(*s, data, 256 * 1024, [&](Status st) { sent.set_value(std::move(st)); });
  });
  Status send_status = await(sent_future);
  ASSERT_TRUE(send_status.ok()) << send_status.error().message;
  Result<Bytes> got = await(received_future);
  ASSERT_TRUE(got.ok()) << got.error().message;
  ASSERT_EQ(got->size(), data->size());
  EXPECT_TRUE(*got == *data);
}

TEST(Endpoint, BidirectionalStreamEchoes) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  accepted.accept_bi([](Result<BiStream> s) {
    ASSERT_TRUE(s.ok());
    BiStream bi = *s;
    read_all(bi.recv, [bi](Result<Bytes> all) {
      ASSERT_TRUE(all.ok());
      send_all(bi.send, std::make_shared<const Bytes>(std::move(*all)), 4096, [](Status) {});
    });
  });
  auto data = std::make_shared<const Bytes>(random_bytes(1 << 20, 2));
  std::promise<Result<Bytes>> echoed;
  auto echoed_future = echoed.get_future();
  conn->open_bi([&](Result<BiStream> s) {
    if (!s) return echoed.set_value(s.take_error());
    BiStream bi = *s;
    send_all(bi.send, data, 100000, [](Status) {});
    read_all(bi.recv, [&](Result<Bytes> all) { echoed.set_value(std::move(all)); });
  });
  auto got = await(echoed_future);
  ASSERT_TRUE(got.ok()) << got.error().message;
  EXPECT_TRUE(*got == *data);
}

TEST(Endpoint, DialledKeyMismatchIsRefused) {
  Server server;
  auto client = bind_or_die(test_config());
  EndpointAddress wrong = server.endpoint->address();
  wrong.id = SecretKey::generate().public_key();
  auto conn = connect_sync(*client, wrong, kAlpn);
  ASSERT_FALSE(conn.ok());
  EXPECT_NE(conn.error().message.find("was dialled"), std::string::npos) << conn.error().message;
  EXPECT_EQ(server.next.wait_for(0s), std::future_status::timeout);  // no handler ran
  // The right key still works afterwards.
  auto right = connect_sync(*client, server.endpoint->address(), kAlpn);
  EXPECT_TRUE(right.ok()) << right.error().message;
}

TEST(Endpoint, UnknownAlpnAndUnservedEndpointAreRefused) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), "something-else/1");
  ASSERT_FALSE(conn.ok());
  EXPECT_NE(conn.error().message.find("application protocol"), std::string::npos) << conn.error().message;
  EXPECT_EQ(server.next.wait_for(0s), std::future_status::timeout);

  auto unserved = bind_or_die(test_config());
  auto refused = connect_sync(*client, unserved->address(), kAlpn);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().message.find("application protocol"), std::string::npos) << refused.error().message;
}

TEST(Endpoint, AddressWithoutReachableIpFailsAtOnce) {
  auto client = bind_or_die(test_config());
  EndpointAddress address;
  address.id = SecretKey::generate().public_key();
  address.addrs = {RelayUrl{"https://relay.invalid/"}};
  auto conn = connect_sync(*client, address, kAlpn);
  ASSERT_FALSE(conn.ok());
  EXPECT_NE(conn.error().message.find("no IP address"), std::string::npos) << conn.error().message;
}

void put_u32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t get_u32(const Bytes& in, size_t at = 0) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[at + i]) << (8 * i);
  return v;
}

// Reads length-prefixed frames until the stream ends; each body starts with its index.
struct FrameReader : std::enable_shared_from_this<FrameReader> {
  RecvStream stream;
  std::vector<uint32_t> indices;
  std::promise<Status> done;

  void next() {
    stream.read_some(4, [self = shared_from_this()](Result<ReadChunk> first) {
      if (!first) return self->done.set_value(first.take_error());
      if (first->data.empty() && first->fin) return self->done.set_value(Status{});
      Bytes prefix = first->data;
      // Continue a prefix that arrived in pieces.
      self->stream.read_exact(4 - prefix.size(), [self, prefix](Result<Bytes> rest) mutable {
        if (!rest) return self->done.set_value(rest.take_error());
        prefix.insert(prefix.end(), rest->begin(), rest->end());
        self->stream.read_exact(get_u32(prefix), [self](Result<Bytes> body) {
          if (!body) return self->done.set_value(body.take_error());
          self->indices.push_back(get_u32(*body));
          self->next();
        });
      });
    });
  }
};

TEST(Endpoint, ManySmallFramesOnUniStreamArriveInOrder) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  auto reader = std::make_shared<FrameReader>();
  auto read_done = reader->done.get_future();
  accepted.accept_uni([reader](Result<RecvStream> s) {
    if (!s) return reader->done.set_value(s.take_error());
    reader->stream = *s;
    reader->next();
  });

  constexpr uint32_t kFrames = 5000;
  std::promise<Status> sent;
  auto sent_future = sent.get_future();
  conn->open_uni([&](Result<SendStream> s) {
    if (!s) return sent.set_value(s.take_error());
    SendStream stream = *s;
    // Frames are written back to back without waiting: each is small, far below the write limit.
    auto failed = std::make_shared<std::atomic<bool>>(false);
    for (uint32_t i = 0; i < kFrames; ++i) {
      Bytes frame;
      uint32_t body = 4 + i % 37;
      put_u32(frame, body);
      put_u32(frame, i);
      frame.resize(4 + body, static_cast<uint8_t>(i));
      stream.write(std::move(frame), [failed](Status st) {
        if (!st) failed->store(true);
      });
    }
    stream.finish([&, failed](Status st) {
      sent.set_value(failed->load() ? Status(make_error("a frame write failed")) : std::move(st));
    });
  });
  Status send_status = await(sent_future);
  ASSERT_TRUE(send_status.ok()) << send_status.error().message;
  Status read_status = await(read_done);
  ASSERT_TRUE(read_status.ok()) << read_status.error().message;
  ASSERT_EQ(reader->indices.size(), kFrames);
  for (uint32_t i = 0; i < kFrames; ++i) ASSERT_EQ(reader->indices[i], i);
}

// A writer that writes the next piece whenever the previous completed, counting completions.
struct PacedWriter : std::enable_shared_from_this<PacedWriter> {
  SendStream stream;
  std::shared_ptr<const Bytes> data;
  size_t piece = 0;
  std::atomic<size_t> completed{0};
  std::promise<Status> done;

  void next() {
    size_t offset = completed.load();
    if (offset >= data->size()) {
      stream.finish([self = shared_from_this()](Status s) { self->done.set_value(std::move(s)); });
      return;
    }
    size_t n = std::min(piece, data->size() - offset);
    stream.write(Bytes(data->begin() + offset, data->begin() + offset + n), [self = shared_from_this(), n](Status s) {
      if (!s) return self->done.set_value(std::move(s));
      self->completed += n;
      self->next();
    });
  }
};

TEST(Endpoint, PeerThatStopsReadingBoundsTheSendersBuffers) {
  EndpointConfig config = test_config();
  config.stream_window = 256 * 1024;
  config.max_unsent_per_stream = 128 * 1024;
  Server server(config);
  auto client = bind_or_die(config);
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  std::promise<RecvStream> stream_promise;
  auto stream_future = stream_promise.get_future();
  accepted.accept_uni([&](Result<RecvStream> s) {
    ASSERT_TRUE(s.ok());
    stream_promise.set_value(*s);
  });

  auto writer = std::make_shared<PacedWriter>();
  writer->data = std::make_shared<const Bytes>(random_bytes(8 << 20, 3));
  writer->piece = 64 * 1024;
  auto write_done = writer->done.get_future();
  std::promise<void> opened;
  conn->open_uni([&](Result<SendStream> s) {
    ASSERT_TRUE(s.ok());
    writer->stream = *s;
    writer->next();
    opened.set_value();
  });
  opened.get_future().wait();
  RecvStream receiver = await(stream_future);  // the peer never reads it yet

  // Wait until the writer stops making progress (the peer's window is full).
  size_t last = 0;
  int still = 0;
  for (int i = 0; i < 600 && still < 10; ++i) {
    std::this_thread::sleep_for(50ms);
    size_t now = writer->completed.load();
    still = now == last ? still + 1 : 0;
    last = now;
  }
  // Only what the peer's window admits (plus one piece) was taken; the rest waits with the writer.
  EXPECT_LE(writer->completed.load(), config.stream_window + writer->piece);
  EXPECT_EQ(write_done.wait_for(0s), std::future_status::timeout);

  // A second write while one is pending and the limit is reached fails instead of growing a queue.
  std::promise<Status> extra;
  auto extra_future = extra.get_future();
  writer->stream.write(Bytes(config.max_unsent_per_stream, 1), [&](Status s) { extra.set_value(std::move(s)); });
  Status extra_status = await(extra_future);
  EXPECT_FALSE(extra_status.ok());

  // Once the peer reads again, everything arrives intact.
  std::promise<Result<Bytes>> received;
  auto received_future = received.get_future();
  read_all(receiver, [&](Result<Bytes> all) { received.set_value(std::move(all)); });
  Status final_status = await(write_done);
  ASSERT_TRUE(final_status.ok()) << final_status.error().message;
  auto got = await(received_future);
  ASSERT_TRUE(got.ok()) << got.error().message;
  EXPECT_TRUE(*got == *writer->data);
}

TEST(Endpoint, KilledPeerIsSeenWithinTheIdleTimeout) {
  int to_child[2], to_parent[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(to_parent), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The peer process: dial the server whose ticket arrives on the pipe, then wait to be killed.
    close(to_child[1]);
    close(to_parent[0]);
    std::string ticket;
    char c;
    while (read(to_child[0], &c, 1) == 1 && c != '\n') ticket.push_back(c);
    auto address = parse_endpoint_address(ticket);
    EndpointConfig config = test_config();
    config.idle_timeout = 1500ms;
    config.keep_alive = 300ms;
    auto ep = Endpoint::bind(config);
    if (!address.ok() || !ep.ok()) _exit(2);
    std::promise<bool> ok;
    auto ok_future = ok.get_future();
    (*ep)->connect(*address, kAlpn, [&](Result<Connection> conn) { ok.set_value(conn.ok()); });
    char status = ok_future.get() ? 'y' : 'n';
    if (write(to_parent[1], &status, 1) != 1) _exit(3);
    for (;;) pause();
  }
  close(to_child[0]);
  close(to_parent[1]);

  EndpointConfig config = test_config();
  config.idle_timeout = 1500ms;
  config.keep_alive = 300ms;
  Server server(config);
  std::string ticket = to_json(server.endpoint->address()) + "\n";
  ASSERT_EQ(write(to_child[1], ticket.data(), ticket.size()), static_cast<ssize_t>(ticket.size()));
  char status = 0;
  ASSERT_EQ(read(to_parent[0], &status, 1), 1);
  ASSERT_EQ(status, 'y');
  Connection accepted = await(server.next);
  std::promise<CloseInfo> closed;
  auto closed_future = closed.get_future();
  accepted.on_closed([&](const CloseInfo& info) { closed.set_value(info); });

  // Keep-alives hold the connection open while the peer lives.
  std::this_thread::sleep_for(2500ms);
  EXPECT_FALSE(accepted.close_info().has_value());

  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(to_child[1]);
  close(to_parent[0]);
  CloseInfo info = await(closed_future);
  EXPECT_EQ(info.kind, CloseInfo::Kind::idle_timeout) << describe(info);
}

TEST(Endpoint, ShutdownCompletesWhileTransfersRun) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  std::promise<CloseInfo> server_saw;
  auto server_saw_future = server_saw.get_future();
  accepted.on_closed([&](const CloseInfo& info) { server_saw.set_value(info); });

  // The callbacks may still run on the network thread after this test body has returned, so they
  // own what they use instead of referring to locals.
  auto received = std::make_shared<std::atomic<size_t>>(0);
  auto drain = std::make_shared<std::function<void(RecvStream)>>();
  std::weak_ptr<std::function<void(RecvStream)>> weak_drain = drain;
  *drain = [received, weak_drain](RecvStream s) {
    s.read_some(1 << 16, [received, s, weak_drain](Result<ReadChunk> r) {
      if (!r || r->fin) return;
      *received += r->data.size();
      if (auto d = weak_drain.lock()) (*d)(s);
    });
  };
  auto accept_more = std::make_shared<std::function<void()>>();
  std::weak_ptr<std::function<void()>> weak_accept = accept_more;
  *accept_more = [accepted, drain, weak_accept] {
    accepted.accept_uni([drain, weak_accept](Result<RecvStream> s) {
      if (!s) return;
      (*drain)(*s);
      if (auto a = weak_accept.lock()) (*a)();
    });
  };
  (*accept_more)();

  std::vector<std::shared_ptr<PacedWriter>> writers;
  std::vector<std::future<Status>> write_results;
  auto data = std::make_shared<const Bytes>(random_bytes(64 << 20, 4));
  for (int i = 0; i < 4; ++i) {
    auto writer = std::make_shared<PacedWriter>();
    writer->data = data;
    writer->piece = 128 * 1024;
    write_results.push_back(writer->done.get_future());
    writers.push_back(writer);
    conn->open_uni([writer](Result<SendStream> s) {
      if (!s) return writer->done.set_value(s.take_error());
      writer->stream = *s;
      writer->next();
    });
  }
  while (received->load() < (2u << 20)) std::this_thread::sleep_for(10ms);

  std::promise<void> shut;
  auto shut_future = shut.get_future();
  client->shutdown([&] { shut.set_value(); });
  await(shut_future);
  for (auto& result : write_results) {
    Status status = await(result);
    EXPECT_FALSE(status.ok());  // the transfers were cut short, and said so
  }
  CloseInfo info = await(server_saw_future);
  EXPECT_EQ(info.kind, CloseInfo::Kind::application) << describe(info);
  EXPECT_EQ(info.code, 0u);

  // Operations after shutdown fail at once instead of hanging.
  std::promise<Result<Connection>> late;
  auto late_future = late.get_future();
  client->connect(server.endpoint->address(), kAlpn, [&](Result<Connection> r) { late.set_value(std::move(r)); });
  EXPECT_FALSE(await(late_future).ok());
  drain = nullptr;
  accept_more = nullptr;
  client.reset();
  server.endpoint.reset();
}

TEST(Endpoint, DestroyingAnEndpointWithOpenConnectionsReturns) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  std::promise<Result<RecvStream>> pending;
  auto pending_future = pending.get_future();
  conn->accept_uni([&](Result<RecvStream> s) { pending.set_value(std::move(s)); });
  client.reset();  // blocks until the network thread is gone
  EXPECT_FALSE(await(pending_future).ok());
  ASSERT_TRUE(conn->close_info().has_value());
  EXPECT_EQ(conn->close_info()->kind, CloseInfo::Kind::local);
  // A handle that outlives its endpoint answers with an error, on the calling thread.
  std::promise<Result<SendStream>> after;
  auto after_future = after.get_future();
  conn->open_uni([&](Result<SendStream> s) { after.set_value(std::move(s)); });
  EXPECT_FALSE(await(after_future).ok());
}

TEST(Endpoint, ApplicationCloseCodeReachesThePeer) {
  Server server;
  auto client = bind_or_die(test_config());
  auto conn = connect_sync(*client, server.endpoint->address(), kAlpn);
  ASSERT_TRUE(conn.ok()) << conn.error().message;
  Connection accepted = await(server.next);
  std::promise<CloseInfo> closed;
  auto closed_future = closed.get_future();
  accepted.on_closed([&](const CloseInfo& info) { closed.set_value(info); });
  conn->close(42, "bye");
  CloseInfo info = await(closed_future);
  EXPECT_EQ(info.kind, CloseInfo::Kind::application);
  EXPECT_EQ(info.code, 42u);
  EXPECT_EQ(info.reason, "bye");
}

TEST(Endpoint, DualStackEndpointIsReachedOnBothLoopbacks) {
  EndpointConfig config = test_config();
  config.bind_host = "";  // "::" with IPv4 mapped in, where IPv6 exists
  Server server(config);
  auto client = bind_or_die(config);
  for (std::string host : {"127.0.0.1", "::1"}) {
    if (host == "::1" && !server.endpoint->local_addr().is_v6()) continue;
    EndpointAddress address;
    address.id = server.endpoint->id();
    address.addrs = {SocketAddr{host, server.endpoint->local_addr().port}};
    auto conn = connect_sync(*client, address, kAlpn);
    if (!conn.ok() && host == "::1") GTEST_SKIP() << "no IPv6 loopback here: " << conn.error().message;
    ASSERT_TRUE(conn.ok()) << host << ": " << conn.error().message;
    EXPECT_EQ(conn->remote_addr().host, host);
    conn->close(0);
  }
}

}  // namespace
}  // namespace kivo::p2p
