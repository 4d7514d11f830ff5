// The endpoint core: the UDP socket, routing datagrams to connections by connection ID,
// accepting new connections, dialling addresses, and shutting everything down.
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

#include "runtime/p2p/detail/state.h"

namespace kivo::p2p::detail {
namespace {

constexpr size_t kMaxConnections = 1024;
constexpr size_t kMaxDatagramsPerBatch = 64;
constexpr int kSocketBufferBytes = 4 << 20;
// Offered when nothing is served, so that every peer gets a clean "no application protocol".
const std::string kNoProtocol = "kivo-p2p-none";

}  // namespace

ngtcp2_tstamp now_ts() {
  return static_cast<ngtcp2_tstamp>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

SocketAddr to_socket_addr(const udp::endpoint& ep) {
  auto address = ep.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  SocketAddr out;
  out.host = address.to_string();
  if (auto pct = out.host.find('%'); pct != std::string::npos) out.host.resize(pct);
  out.port = ep.port();
  return out;
}

Core::Core(EndpointConfig config_) : config(std::move(config_)) {
  if (config.secret_key) key = *config.secret_key;
}

Core::~Core() = default;

void Core::post(std::function<void()> fn) {
  {
    std::lock_guard lock(post_mutex);
    if (!stopped) {
      asio::post(io, std::move(fn));
      return;
    }
  }
  fn();  // the thread is gone: the task finds everything closed and reports that
}

Status Core::open_socket() {
  asio::error_code ec;
  std::vector<std::string> hosts;
  if (config.bind_host.empty()) hosts = {"::", "0.0.0.0"};
  else hosts = {config.bind_host};
  std::string last_error;
  for (const auto& host : hosts) {
    auto address = asio::ip::make_address(host, ec);
    if (ec) return make_error("cannot bind: \"" + host + "\" is not an IP address");
    udp::endpoint ep(address, config.port);
    socket.open(ep.protocol(), ec);
    if (ec) {
      last_error = ec.message();
      continue;
    }
    if (address.is_v6() && address.to_v6().is_unspecified()) {
      socket.set_option(asio::ip::v6_only(false), ec);
      dual_stack = !ec;
    }
    socket.bind(ep, ec);
    if (ec) {
      last_error = ec.message();
      socket.close();
      dual_stack = false;
      continue;
    }
    socket.non_blocking(true, ec);
    socket.set_option(asio::socket_base::receive_buffer_size(kSocketBufferBytes), ec);
    socket.set_option(asio::socket_base::send_buffer_size(kSocketBufferBytes), ec);
    local = socket.local_endpoint(ec);
    if (ec) return make_error("cannot read the bound address: " + ec.message());
    return {};
  }
  return make_error("cannot bind a UDP socket on port " + std::to_string(config.port) + ": " + last_error);
}

void Core::collect_interface_addrs() {
  interface_addrs.clear();
  auto bound = local.address();
  const bool wildcard = bound.is_unspecified();
  if (!wildcard) {
    interface_addrs.push_back(to_socket_addr(local));
    return;
  }
  std::vector<SocketAddr> loopback;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  for (ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_addr || !(it->ifa_flags & IFF_UP)) continue;
    asio::ip::address address;
    if (it->ifa_addr->sa_family == AF_INET) {
      auto* sin = reinterpret_cast<sockaddr_in*>(it->ifa_addr);
      asio::ip::address_v4::bytes_type bytes;
      std::memcpy(bytes.data(), &sin->sin_addr, 4);
      address = asio::ip::address_v4(bytes);
      if (bound.is_v6() && !dual_stack) continue;
    } else if (it->ifa_addr->sa_family == AF_INET6) {
      if (!bound.is_v6()) continue;
      auto* sin6 = reinterpret_cast<sockaddr_in6*>(it->ifa_addr);
      asio::ip::address_v6::bytes_type bytes;
      std::memcpy(bytes.data(), &sin6->sin6_addr, 16);
      auto v6 = asio::ip::address_v6(bytes);
      if (v6.is_link_local() || v6.is_v4_mapped()) continue;  // link-local needs a zone peers cannot know
      address = v6;
    } else {
      continue;
    }
    SocketAddr addr = to_socket_addr(udp::endpoint(address, local.port()));
    auto& target = address.is_loopback() ? loopback : interface_addrs;
    if (std::find(target.begin(), target.end(), addr) == target.end()) target.push_back(addr);
  }
  freeifaddrs(list);
  // Loopback last: it only reaches a peer on the same host (or namespace).
  interface_addrs.insert(interface_addrs.end(), loopback.begin(), loopback.end());
}

void Core::start() {
  work.emplace(io.get_executor());
  wait_readable();
  thread = std::thread([this, self = shared_from_this()] {
    io.run();  // returns once shutdown released the work guard and every operation finished
    {
      std::lock_guard lock(post_mutex);
      stopped = true;
    }
    // Tasks posted while the loop was ending still run, and report that all is closed.
    io.restart();
    io.poll();
  });
  thread_id = thread.get_id();
}

void Core::wait_readable() {
  socket.async_wait(udp::socket::wait_read, [self = shared_from_this()](const asio::error_code& ec) {
    if (ec || !self->socket.is_open()) return;
    self->drain_socket();
    if (self->socket.is_open()) self->wait_readable();
  });
}

void Core::drain_socket() {
  for (size_t i = 0; i < kMaxDatagramsPerBatch && socket.is_open(); ++i) {
    udp::endpoint from;
    asio::error_code ec;
    size_t n = socket.receive_from(asio::buffer(rx_buffer), from, 0, ec);
    if (ec == asio::error::would_block || ec == asio::error::try_again) break;
    if (ec) continue;  // e.g. an ICMP error queued on the socket
    on_datagram(rx_buffer.data(), n, from);
  }
  auto batch = std::exchange(dirty, {});
  for (auto& conn : batch) conn->flush();
}

void Core::on_datagram(const uint8_t* data, size_t size, const udp::endpoint& from) {
  ngtcp2_version_cid vc;
  int rv = ngtcp2_pkt_decode_version_cid(&vc, data, size, 18);
  if (rv != 0) return;  // includes version negotiation requests: only QUIC v1 is spoken here
  auto it = by_cid.find(std::string(reinterpret_cast<const char*>(vc.dcid), vc.dcidlen));
  if (it != by_cid.end()) {
    auto conn = it->second;
    conn->read(data, size, from);
    return;
  }
  if (shutting_down || conns.size() >= kMaxConnections) return;
  ngtcp2_pkt_hd hd;
  if (ngtcp2_accept(&hd, data, size) != 0) return;  // not an Initial packet
  auto conn = std::make_shared<ConnState>(shared_from_this(), true);
  std::vector<std::string> alpns = router && !router->empty() ? router->alpns() : std::vector<std::string>{kNoProtocol};
  if (!conn->init_server(from, hd, alpns)) {
    conn->ended = true;
    forget(conn);
    return;
  }
  conns.insert(conn);
  conn->on_ready = [](std::shared_ptr<ConnState> c, Status status) {
    if (!status) return;
    const ConnectionHandler* handler = c->core->router ? c->core->router->find(c->alpn) : nullptr;
    if (handler) (*handler)(Connection(c));
  };
  conn->read(data, size, from);
}

bool Core::send_packet(const udp::endpoint& to, const uint8_t* data, size_t size, ConnState* conn) {
  if (!socket.is_open()) return false;
  asio::error_code ec;
  socket.send_to(asio::buffer(data, size), to, 0, ec);
  if (ec == asio::error::would_block || ec == asio::error::try_again) {
    if (!blocked_packet) blocked_packet.emplace(to, Bytes(data, data + size));
    if (conn) want_write.insert(conn->shared_from_this());
    if (!send_blocked) {
      send_blocked = true;
      wait_writable();
    }
    return false;
  }
  return true;  // other errors count as loss; the transport recovers or times out
}

void Core::wait_writable() {
  socket.async_wait(udp::socket::wait_write, [self = shared_from_this()](const asio::error_code& ec) {
    if (ec || !self->socket.is_open()) return;
    self->send_blocked = false;
    if (auto packet = std::exchange(self->blocked_packet, std::nullopt)) {
      if (!self->send_packet(packet->first, packet->second.data(), packet->second.size(), nullptr)) return;
    }
    auto waiting = std::exchange(self->want_write, {});
    for (auto& conn : waiting) conn->flush();
  });
}

udp::endpoint Core::to_socket_family(const udp::endpoint& ep) const {
  if (local.address().is_v6() && ep.address().is_v4())
    return udp::endpoint(asio::ip::make_address_v6(asio::ip::v4_mapped, ep.address().to_v4()), ep.port());
  return ep;
}

void Core::add_cid(const std::string& cid, const std::shared_ptr<ConnState>& conn) {
  by_cid[cid] = conn;
  conn->cids.push_back(cid);
}

void Core::remove_cid(const std::string& cid) { by_cid.erase(cid); }

void Core::forget(const std::shared_ptr<ConnState>& conn) {
  for (const auto& cid : conn->cids) {
    auto it = by_cid.find(cid);
    if (it != by_cid.end() && it->second == conn) by_cid.erase(it);
  }
  conn->cids.clear();
  conns.erase(conn);
  dirty.erase(conn);
  want_write.erase(conn);
}

namespace {

// One connect call: the address's IPs are tried a stagger apart until one handshake succeeds.
struct Dial : std::enable_shared_from_this<Dial> {
  std::shared_ptr<Core> core;
  PublicKey key;
  std::string alpn;
  std::vector<udp::endpoint> targets;
  size_t next = 0;
  size_t pending = 0;
  bool finished = false;
  std::string last_error;
  std::vector<std::weak_ptr<ConnState>> attempts;
  std::function<void(Result<Connection>)> done;
  asio::steady_timer stagger;

  explicit Dial(std::shared_ptr<Core> c) : core(std::move(c)), stagger(core->io) {}

  void finish(Result<Connection> result) {
    finished = true;
    stagger.cancel();
    std::exchange(done, nullptr)(std::move(result));
  }

  void start_next() {
    if (finished || next >= targets.size() || core->shutting_down) return;
    auto target = targets[next++];
    auto conn = std::make_shared<ConnState>(core, false);
    auto status = conn->init_client(target, key, alpn);
    if (!status) {
      conn->ended = true;
      core->forget(conn);
      last_error = status.error().message;
      if (pending == 0 && next >= targets.size()) finish(make_error("cannot connect: " + last_error));
      else start_next();
      return;
    }
    core->conns.insert(conn);
    attempts.push_back(conn);
    ++pending;
    conn->on_ready = [self = shared_from_this()](std::shared_ptr<ConnState> c, Status status) {
      self->on_attempt(std::move(c), std::move(status));
    };
    conn->flush();
    if (!finished && next < targets.size()) {
      stagger.expires_after(core->config.dial_stagger);
      stagger.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec) self->start_next();
      });
    }
  }

  void on_attempt(std::shared_ptr<ConnState> conn, Status status) {
    --pending;
    if (status) {
      if (finished) {
        conn->close(0, "another address answered first");
        return;
      }
      for (auto& weak : attempts)
        if (auto other = weak.lock(); other && other != conn) other->close(0, "another address answered first");
      finish(Connection(conn));
      return;
    }
    if (finished) return;
    last_error = status.error().message;
    if (next < targets.size()) start_next();
    else if (pending == 0) finish(make_error("cannot connect to " + key.to_hex() + ": " + last_error));
  }
};

}  // namespace

void Core::connect(EndpointAddress address, std::string alpn, std::function<void(Result<Connection>)> done) {
  if (shutting_down) {
    done(make_error("endpoint is shut down"));
    return;
  }
  if (alpn.empty() || alpn.size() > 255) {
    done(make_error("ALPN must be 1 to 255 bytes"));
    return;
  }
  auto dial = std::make_shared<Dial>(shared_from_this());
  dial->key = address.id;
  dial->alpn = std::move(alpn);
  dial->done = std::move(done);
  for (const auto& addr : address.addrs) {
    auto* ip = std::get_if<SocketAddr>(&addr);
    if (!ip) continue;  // relay and custom addresses are not dialled by this transport
    asio::error_code ec;
    auto ipaddr = asio::ip::make_address(ip->host, ec);
    if (ec) continue;
    if (ipaddr.is_v6() && !local.address().is_v6()) continue;
    if (ipaddr.is_v4() && local.address().is_v6() && !dual_stack) continue;
    dial->targets.push_back(to_socket_family(udp::endpoint(ipaddr, ip->port)));
  }
  if (dial->targets.empty()) {
    dial->finish(make_error("address of " + address.id.to_hex() + " has no IP address this endpoint can reach"));
    return;
  }
  dial->start_next();
}

void Core::shutdown_on_thread(std::function<void()> done) {
  if (!shutting_down) {
    shutting_down = true;
    router.reset();
    auto all = conns;
    for (auto& conn : all) conn->close(0, "endpoint shut down");
    asio::error_code ec;
    socket.close(ec);
    work.reset();
  }
  if (done) done();
}

void Core::stop_and_join() {
  if (std::this_thread::get_id() == thread_id) {
    // Called from a completion on the network thread: it cannot wait for itself.
    shutdown_on_thread(nullptr);
    if (thread.joinable()) thread.detach();
    return;
  }
  {
    std::lock_guard lock(post_mutex);
    if (!stopped) asio::post(io, [self = shared_from_this()] { self->shutdown_on_thread(nullptr); });
  }
  if (thread.joinable()) thread.join();
}

}  // namespace kivo::p2p::detail
