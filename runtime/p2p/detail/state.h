// The endpoint's internal state: the socket and connection table (Core), each QUIC connection
// (ConnState) and each stream (StreamState). Everything here is touched only on the network
// thread, except the few fields named as guarded.
#pragma once

#include <ngtcp2/ngtcp2.h>
#include <ngtcp2/ngtcp2_crypto.h>

#include <asio.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "runtime/p2p/connection.h"
#include "runtime/p2p/detail/tls.h"
#include "runtime/p2p/endpoint.h"
#include "runtime/p2p/router.h"
#include "runtime/p2p/stream.h"

namespace kivo::p2p::detail {

using udp = asio::ip::udp;

ngtcp2_tstamp now_ts();
SocketAddr to_socket_addr(const udp::endpoint& ep);  // IPv4-mapped addresses come back as IPv4

struct ConnState;
struct Core;

// Bytes queued on a stream, kept until the peer acknowledged them.
struct Chunk {
  Bytes data;
  uint64_t start = 0;  // stream offset of data[0]
  WriteDone done;      // runs once every byte is handed to the transport
};

struct StreamState {
  std::weak_ptr<ConnState> conn;
  std::shared_ptr<Core> core;
  int64_t id = -1;
  bool can_send = false;
  bool can_recv = false;
  bool closed = false;  // the transport has forgotten the stream

  // Sending.
  std::deque<Chunk> chunks;
  uint64_t queued_end = 0;  // offset after the last queued byte
  uint64_t written = 0;     // bytes handed to the transport
  uint64_t acked = 0;       // bytes the peer acknowledged
  bool fin_requested = false;
  bool fin_written = false;
  WriteDone finish_done;
  std::optional<Error> send_error;

  // Receiving: rbuf[rhead..] is unread; consumed bytes are returned to the peer as credit.
  Bytes rbuf;
  size_t rhead = 0;
  bool fin_received = false;
  std::optional<Error> recv_error;
  struct PendingRead {
    size_t want = 0;
    bool exact = false;
    Bytes acc;
    ReadDone some;
    ReadExactDone exact_done;
  };
  std::optional<PendingRead> pending_read;

  size_t unread() const { return rbuf.size() - rhead; }
  uint64_t unsent() const { return queued_end - written; }
};

// Completes the pending read of a stream from its buffer; conn is null once the connection is gone.
void serve_reads(StreamState& st, ConnState* conn);

struct ConnState : std::enable_shared_from_this<ConnState> {
  ConnState(std::shared_ptr<Core> core_, bool server_);
  ~ConnState();

  std::shared_ptr<Core> core;
  bool server;
  ngtcp2_conn* conn = nullptr;
  gnutls_session_t tls = nullptr;
  SessionContext tls_ctx{};
  udp::endpoint remote;
  std::string alpn;            // the one asked for (client) or negotiated
  bool established = false;    // handshake done and checks passed
  bool ended = false;
  bool in_flush = false;
  asio::steady_timer timer;
  ngtcp2_tstamp armed_expiry = UINT64_MAX;  // when the pending timer fires; UINT64_MAX: none
  std::vector<std::string> cids;  // connection IDs routed to this connection

  mutable std::mutex info_mutex;  // guards close_info, peer_key for reads from other threads
  std::optional<CloseInfo> close_info;
  PublicKey peer_key;

  std::map<int64_t, std::shared_ptr<StreamState>> streams;
  std::deque<std::shared_ptr<StreamState>> incoming_uni, incoming_bi;
  std::deque<std::function<void(Result<RecvStream>)>> accept_uni_waiters;
  std::deque<std::function<void(Result<BiStream>)>> accept_bi_waiters;
  std::deque<std::function<void(Result<SendStream>)>> open_uni_waiters;
  std::deque<std::function<void(Result<BiStream>)>> open_bi_waiters;
  std::vector<std::function<void(const CloseInfo&)>> closed_waiters;
  // Runs once: with success when the connection is ready for use, or with the reason it failed first.
  std::function<void(std::shared_ptr<ConnState>, Status)> on_ready;

  // Work noted inside transport callbacks, done by the next flush outside them.
  std::vector<std::shared_ptr<StreamState>> to_service;
  std::vector<std::pair<int64_t, uint64_t>> to_shutdown_write;  // stream, error code
  bool accepts_dirty = false;
  bool opens_dirty = false;
  bool handshake_pending = false;

  // Network-thread operations.
  Status init_client(const udp::endpoint& to, const PublicKey& expected, const std::string& alpn_);
  Status init_server(const udp::endpoint& from, const ngtcp2_pkt_hd& hd, const std::vector<std::string>& alpns);
  void read(const uint8_t* data, size_t size, const udp::endpoint& from);
  void flush();  // writes every packet the transport has ready, then re-arms the timer
  void close(uint64_t code, const std::string& reason);
  void end(CloseInfo info);
  void fail_with_liberr(int liberr);

  void service_stream(const std::shared_ptr<StreamState>& st);  // completes reads and writes that can
  void service_accepts();
  void service_opens();
  void on_handshake_completed();
  void after_consumed(StreamState& st, size_t n);
  Error closed_error() const;

  void arm_timer();
  void on_timer();
};

struct Core : std::enable_shared_from_this<Core> {
  explicit Core(EndpointConfig config);
  ~Core();

  EndpointConfig config;
  SecretKey key = SecretKey::generate();
  std::shared_ptr<TlsIdentity> identity;
  asio::io_context io;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
  udp::socket socket{io};
  bool dual_stack = false;
  udp::endpoint local;
  std::vector<SocketAddr> interface_addrs;
  std::thread thread;
  std::thread::id thread_id;

  std::mutex post_mutex;  // guards stopped
  bool stopped = false;   // the network thread has finished; posted work now runs inline

  std::optional<Router> router;  // none: refuse everything
  std::unordered_map<std::string, std::shared_ptr<ConnState>> by_cid;
  std::set<std::shared_ptr<ConnState>> conns;
  bool shutting_down = false;

  std::vector<uint8_t> rx_buffer = std::vector<uint8_t>(65536);
  std::vector<uint8_t> tx_buffer = std::vector<uint8_t>(65536);
  std::set<std::shared_ptr<ConnState>> dirty;       // read from in this batch; flush after it
  bool send_blocked = false;                        // the socket's send buffer is full
  std::optional<std::pair<udp::endpoint, Bytes>> blocked_packet;
  std::set<std::shared_ptr<ConnState>> want_write;  // conns to flush once the socket drains

  // Runs fn on the network thread, or inline once the thread has finished.
  void post(std::function<void()> fn);

  Status open_socket();
  void collect_interface_addrs();
  void start();
  void wait_readable();
  void drain_socket();
  void on_datagram(const uint8_t* data, size_t size, const udp::endpoint& from);
  bool send_packet(const udp::endpoint& to, const uint8_t* data, size_t size, ConnState* conn);
  void wait_writable();
  udp::endpoint to_socket_family(const udp::endpoint& ep) const;

  void add_cid(const std::string& cid, const std::shared_ptr<ConnState>& conn);
  void remove_cid(const std::string& cid);
  void forget(const std::shared_ptr<ConnState>& conn);

  void connect(EndpointAddress address, std::string alpn, std::function<void(Result<Connection>)> done);
  void shutdown_on_thread(std::function<void()> done);
  void stop_and_join();
};

}  // namespace kivo::p2p::detail
