// Loopback throughput and round-trip time of QUIC endpoints beside a plain TCP socket pair.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "runtime/p2p/endpoint.h"

using namespace kivo;
using namespace kivo::p2p;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kPiece = 256 * 1024;
constexpr size_t kRoundTrips = 2000;
constexpr size_t kPing = 32;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- QUIC ----

void write_loop(SendStream s, std::shared_ptr<const Bytes> piece, size_t left, std::function<void()> done) {
  if (left == 0) {
    s.finish([done](Status) { done(); });
    return;
  }
  size_t n = std::min(left, piece->size());
  s.write(Bytes(piece->begin(), piece->begin() + n), [s, piece, left, n, done](Status st) {
    if (!st) {
      std::fprintf(stderr, "write failed: %s\n", st.error().message.c_str());
      return done();
    }
    write_loop(s, piece, left - n, done);
  });
}

void count_loop(RecvStream s, std::shared_ptr<std::atomic<size_t>> total, std::function<void()> done) {
  s.read_some(1 << 20, [s, total, done](Result<ReadChunk> r) {
    if (!r) return done();
    *total += r->data.size();
    if (r->fin) return done();
    count_loop(s, total, done);
  });
}

struct QuicPair {
  std::unique_ptr<Endpoint> server, client;
  Connection conn;
  std::shared_ptr<std::promise<Connection>> accepted = std::make_shared<std::promise<Connection>>();
  Connection peer;

  QuicPair() {
    EndpointConfig config;
    config.bind_host = "127.0.0.1";
    config.stream_window = 4 << 20;
    config.connection_window = 48 << 20;
    server = std::move(Endpoint::bind(config).value());
    client = std::move(Endpoint::bind(config).value());
    Router router;
    auto promise = accepted;
    (void)router.add("bench/0", [promise](Connection c) { promise->set_value(c); });
    server->serve(std::move(router));
    std::promise<Result<Connection>> connected;
    client->connect(server->address(), "bench/0", [&](Result<Connection> c) { connected.set_value(std::move(c)); });
    auto c = connected.get_future().get();
    if (!c) {
      std::fprintf(stderr, "connect failed: %s\n", c.error().message.c_str());
      std::exit(1);
    }
    conn = *c;
    peer = accepted->get_future().get();
  }
};

double quic_throughput(QuicPair& pair, size_t streams, size_t bytes_per_stream) {
  auto piece = std::make_shared<const Bytes>(kPiece, 0x5a);
  auto received = std::make_shared<std::atomic<size_t>>(0);
  auto finished = std::make_shared<std::atomic<size_t>>(0);
  std::promise<void> all;
  auto all_future = all.get_future();
  auto on_done = [finished, streams, &all] {
    if (++*finished == streams) all.set_value();
  };
  std::function<void(size_t)> accept = [&, received](size_t left) {
    if (left == 0) return;
    pair.peer.accept_uni([&, received, left](Result<RecvStream> s) {
      if (!s) return;
      count_loop(*s, received, on_done);
      accept(left - 1);
    });
  };
  accept(streams);
  auto start = Clock::now();
  for (size_t i = 0; i < streams; ++i)
    pair.conn.open_uni([piece, bytes_per_stream](Result<SendStream> s) {
      if (s) write_loop(*s, piece, bytes_per_stream, [] {});
    });
  all_future.wait();
  double secs = seconds_since(start);
  if (received->load() != streams * bytes_per_stream) std::fprintf(stderr, "QUIC received a wrong byte count\n");
  return static_cast<double>(received->load()) / secs / 1e6;
}

double quic_rtt_us(QuicPair& pair) {
  std::promise<BiStream> served;
  pair.peer.accept_bi([&](Result<BiStream> s) { served.set_value(*s); });
  std::promise<BiStream> opened;
  pair.conn.open_bi([&](Result<BiStream> s) { opened.set_value(*s); });
  BiStream client = opened.get_future().get();
  // The server echoes every ping.
  auto echo = std::make_shared<std::function<void(BiStream)>>();
  *echo = [echo](BiStream s) {
    s.recv.read_exact(kPing, [s, echo](Result<Bytes> b) {
      if (!b) return;
      s.send.write(std::move(*b), [s, echo](Status st) {
        if (st) (*echo)(s);
      });
    });
  };
  bool first = true;
  std::promise<void> done;
  auto rounds = std::make_shared<size_t>(0);
  auto ping = std::make_shared<std::function<void()>>();
  *ping = [&, rounds, ping] {
    client.send.write(Bytes(kPing, 1), [](Status) {});
    client.recv.read_exact(kPing, [&, rounds, ping](Result<Bytes> b) {
      if (!b || ++*rounds == kRoundTrips) return done.set_value();
      (*ping)();
    });
  };
  auto start = Clock::now();
  (*ping)();
  if (first) {
    (*echo)(served.get_future().get());  // the stream reaches the server with the first ping
    first = false;
  }
  done.get_future().wait();
  double us = seconds_since(start) * 1e6 / kRoundTrips;
  *echo = nullptr;
  *ping = nullptr;
  return us;
}

// ---- TCP ----

struct TcpPair {
  int a = -1, b = -1;
};

TcpPair tcp_pair() {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener, 16);
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  TcpPair pair;
  pair.a = socket(AF_INET, SOCK_STREAM, 0);
  connect(pair.a, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  pair.b = accept(listener, nullptr, nullptr);
  close(listener);
  int one = 1;
  setsockopt(pair.a, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  setsockopt(pair.b, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return pair;
}

double tcp_throughput(size_t streams, size_t bytes_per_stream) {
  std::vector<TcpPair> pairs;
  for (size_t i = 0; i < streams; ++i) pairs.push_back(tcp_pair());
  std::atomic<size_t> received{0};
  std::vector<std::thread> threads;
  auto start = Clock::now();
  for (auto& p : pairs) {
    threads.emplace_back([fd = p.a, bytes_per_stream] {
      std::vector<char> piece(kPiece, 0x5a);
      size_t left = bytes_per_stream;
      while (left > 0) {
        ssize_t n = write(fd, piece.data(), std::min(left, piece.size()));
        if (n <= 0) break;
        left -= static_cast<size_t>(n);
      }
      shutdown(fd, SHUT_WR);
    });
    threads.emplace_back([fd = p.b, &received] {
      std::vector<char> buf(1 << 20);
      for (;;) {
        ssize_t n = read(fd, buf.data(), buf.size());
        if (n <= 0) break;
        received += static_cast<size_t>(n);
      }
    });
  }
  for (auto& t : threads) t.join();
  double secs = seconds_since(start);
  for (auto& p : pairs) {
    close(p.a);
    close(p.b);
  }
  return static_cast<double>(received.load()) / secs / 1e6;
}

double tcp_rtt_us() {
  TcpPair p = tcp_pair();
  std::thread echo([fd = p.b] {
    char buf[kPing];
    for (;;) {
      size_t got = 0;
      while (got < kPing) {
        ssize_t n = read(fd, buf + got, kPing - got);
        if (n <= 0) return;
        got += static_cast<size_t>(n);
      }
      if (write(fd, buf, kPing) != static_cast<ssize_t>(kPing)) return;
    }
  });
  char buf[kPing] = {1};
  auto start = Clock::now();
  for (size_t i = 0; i < kRoundTrips; ++i) {
    if (write(p.a, buf, kPing) != static_cast<ssize_t>(kPing)) break;
    size_t got = 0;
    while (got < kPing) {
      ssize_t n = read(p.a, buf + got, kPing - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
  }
  double us = seconds_since(start) * 1e6 / kRoundTrips;
  shutdown(p.a, SHUT_RDWR);
  echo.join();
  close(p.a);
  close(p.b);
  return us;
}

}  // namespace

int main() {
  const size_t one_stream = 128u << 20, per_parallel = 16u << 20;
  std::printf("p2p loopback benchmark (QUIC on ngtcp2 vs plain TCP, same run)\n");
  double q1, q10, qrtt;
  {
    QuicPair pair;
    q1 = quic_throughput(pair, 1, one_stream);
    q10 = quic_throughput(pair, 10, per_parallel);
    qrtt = quic_rtt_us(pair);
  }
  double t1 = tcp_throughput(1, one_stream);
  double t10 = tcp_throughput(10, per_parallel);
  double trtt = tcp_rtt_us();
  std::printf("%-28s %12s %12s %10s\n", "", "QUIC", "TCP", "QUIC/TCP");
  std::printf("%-28s %9.1f MB/s %7.1f MB/s %9.3f\n", "1 stream (128 MiB)", q1, t1, q1 / t1);
  std::printf("%-28s %9.1f MB/s %7.1f MB/s %9.3f\n", "10 streams (10 x 16 MiB)", q10, t10, q10 / t10);
  std::printf("%-28s %10.1f us %10.1f us %9.3f\n", "round trip (32 bytes)", qrtt, trtt, qrtt / trtt);
  return 0;
}
