// The QUIC connection engine on ngtcp2: transport callbacks, the read and write paths, timers,
// stream bookkeeping with flow control, and how a connection ends.
#include <gnutls/crypto.h>
#include <ngtcp2/ngtcp2_crypto_gnutls.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/p2p/detail/state.h"

namespace kivo::p2p::detail {
namespace {

constexpr size_t kCidLen = 18;
constexpr size_t kMaxPacketsPerFlush = 64;

ConnState* self_of(void* user_data) { return static_cast<ConnState*>(user_data); }

ngtcp2_conn* get_conn(ngtcp2_crypto_conn_ref* ref) { return static_cast<ConnState*>(ref->user_data)->conn; }

void rand_cb(uint8_t* dest, size_t len, const ngtcp2_rand_ctx*) { gnutls_rnd(GNUTLS_RND_RANDOM, dest, len); }

std::string cid_key(const uint8_t* data, size_t len) { return std::string(reinterpret_cast<const char*>(data), len); }

int get_new_cid_cb(ngtcp2_conn*, ngtcp2_cid* cid, uint8_t* token, size_t cidlen, void* user_data) {
  auto* self = self_of(user_data);
  gnutls_rnd(GNUTLS_RND_RANDOM, cid->data, cidlen);
  cid->datalen = cidlen;
  gnutls_rnd(GNUTLS_RND_RANDOM, token, NGTCP2_STATELESS_RESET_TOKENLEN);
  self->core->add_cid(cid_key(cid->data, cidlen), self->shared_from_this());
  return 0;
}

int remove_cid_cb(ngtcp2_conn*, const ngtcp2_cid* cid, void* user_data) {
  self_of(user_data)->core->remove_cid(cid_key(cid->data, cid->datalen));
  return 0;
}

std::shared_ptr<StreamState> find_stream(ConnState* self, int64_t id) {
  auto it = self->streams.find(id);
  return it == self->streams.end() ? nullptr : it->second;
}

int recv_stream_data_cb(ngtcp2_conn* conn, uint32_t flags, int64_t id, uint64_t, const uint8_t* data, size_t len,
                        void* user_data, void*) {
  auto* self = self_of(user_data);
  auto st = find_stream(self, id);
  if (!st || st->recv_error) {
    // Nobody will read these bytes: give the credit back at once so other streams keep flowing.
    ngtcp2_conn_extend_max_offset(conn, len);
    if (st && !st->closed) ngtcp2_conn_extend_max_stream_offset(conn, id, len);
    return 0;
  }
  st->rbuf.insert(st->rbuf.end(), data, data + len);
  if (flags & NGTCP2_STREAM_DATA_FLAG_FIN) st->fin_received = true;
  self->to_service.push_back(st);
  return 0;
}

int stream_open_cb(ngtcp2_conn*, int64_t id, void* user_data) {
  auto* self = self_of(user_data);
  auto st = std::make_shared<StreamState>();
  st->conn = self->weak_from_this();
  st->core = self->core;
  st->id = id;
  st->can_recv = true;
  st->can_send = ngtcp2_is_bidi_stream(id);
  self->streams[id] = st;
  (st->can_send ? self->incoming_bi : self->incoming_uni).push_back(st);
  self->accepts_dirty = true;
  return 0;
}

int acked_cb(ngtcp2_conn*, int64_t id, uint64_t offset, uint64_t len, void* user_data, void*) {
  auto* self = self_of(user_data);
  auto st = find_stream(self, id);
  if (!st) return 0;
  st->acked = std::max(st->acked, offset + len);
  while (!st->chunks.empty() && st->chunks.front().start + st->chunks.front().data.size() <= st->acked &&
         !st->chunks.front().done)
    st->chunks.pop_front();
  self->to_service.push_back(st);
  return 0;
}

int stream_close_cb(ngtcp2_conn* conn, uint32_t flags, int64_t id, uint64_t code, void* user_data, void*) {
  auto* self = self_of(user_data);
  auto st = find_stream(self, id);
  if (!st) return 0;
  st->closed = true;
  const bool reset = flags & NGTCP2_STREAM_CLOSE_FLAG_APP_ERROR_CODE_SET;
  if (st->can_send) {
    if (st->fin_written && !reset) {
      st->acked = st->queued_end;
    } else if (!st->send_error) {
      st->send_error = make_error("stream closed before its data was delivered (code " + std::to_string(code) + ")");
    }
  }
  if (st->can_recv && !st->fin_received && !st->recv_error)
    st->recv_error = make_error("stream reset by peer (code " + std::to_string(code) + ")");
  self->streams.erase(id);
  if (!ngtcp2_conn_is_local_stream(conn, id)) {
    if (ngtcp2_is_bidi_stream(id)) ngtcp2_conn_extend_max_streams_bidi(conn, 1);
    else ngtcp2_conn_extend_max_streams_uni(conn, 1);
  }
  self->to_service.push_back(st);
  return 0;
}

int stream_reset_cb(ngtcp2_conn*, int64_t id, uint64_t, uint64_t code, void* user_data, void*) {
  auto* self = self_of(user_data);
  if (auto st = find_stream(self, id)) {
    if (!st->recv_error) st->recv_error = make_error("stream reset by peer (code " + std::to_string(code) + ")");
    self->to_service.push_back(st);
  }
  return 0;
}

int stream_stop_sending_cb(ngtcp2_conn*, int64_t id, uint64_t code, void* user_data, void*) {
  auto* self = self_of(user_data);
  if (auto st = find_stream(self, id)) {
    if (!st->send_error)
      st->send_error = make_error("peer stopped reading the stream (code " + std::to_string(code) + ")");
    self->to_shutdown_write.emplace_back(id, code);
    self->to_service.push_back(st);
  }
  return 0;
}

int extend_streams_cb(ngtcp2_conn*, uint64_t, void* user_data) {
  self_of(user_data)->opens_dirty = true;
  return 0;
}

int handshake_completed_cb(ngtcp2_conn*, void* user_data) {
  self_of(user_data)->handshake_pending = true;
  return 0;
}

ngtcp2_callbacks make_callbacks(bool server) {
  ngtcp2_callbacks cb{};
  if (server) {
    cb.recv_client_initial = ngtcp2_crypto_recv_client_initial_cb;
  } else {
    cb.client_initial = ngtcp2_crypto_client_initial_cb;
    cb.recv_retry = ngtcp2_crypto_recv_retry_cb;
  }
  cb.recv_crypto_data = ngtcp2_crypto_recv_crypto_data_cb;
  cb.encrypt = ngtcp2_crypto_encrypt_cb;
  cb.decrypt = ngtcp2_crypto_decrypt_cb;
  cb.hp_mask = ngtcp2_crypto_hp_mask_cb;
  cb.update_key = ngtcp2_crypto_update_key_cb;
  cb.delete_crypto_aead_ctx = ngtcp2_crypto_delete_crypto_aead_ctx_cb;
  cb.delete_crypto_cipher_ctx = ngtcp2_crypto_delete_crypto_cipher_ctx_cb;
  cb.get_path_challenge_data = ngtcp2_crypto_get_path_challenge_data_cb;
  cb.version_negotiation = ngtcp2_crypto_version_negotiation_cb;
  cb.rand = rand_cb;
  cb.get_new_connection_id = get_new_cid_cb;
  cb.remove_connection_id = remove_cid_cb;
  cb.recv_stream_data = recv_stream_data_cb;
  cb.stream_open = stream_open_cb;
  cb.acked_stream_data_offset = acked_cb;
  cb.stream_close = stream_close_cb;
  cb.stream_reset = stream_reset_cb;
  cb.stream_stop_sending = stream_stop_sending_cb;
  cb.extend_max_local_streams_bidi = extend_streams_cb;
  cb.extend_max_local_streams_uni = extend_streams_cb;
  cb.handshake_completed = handshake_completed_cb;
  return cb;
}

// Transport debug lines on stderr when KIVO_P2P_DEBUG is set; never shown to users.
void debug_printf(void*, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

uint64_t ns_of(std::chrono::milliseconds ms) { return static_cast<uint64_t>(ms.count()) * NGTCP2_MILLISECONDS; }

void fill_settings(ngtcp2_settings& settings, ngtcp2_transport_params& params, const EndpointConfig& config) {
  ngtcp2_settings_default(&settings);
  settings.initial_ts = now_ts();
  static const bool debug = std::getenv("KIVO_P2P_DEBUG") != nullptr;
  if (debug) settings.log_printf = debug_printf;
  settings.handshake_timeout = ns_of(config.handshake_timeout);
  settings.max_window = config.connection_window;
  settings.max_stream_window = config.stream_window;
  ngtcp2_transport_params_default(&params);
  params.initial_max_data = config.connection_window;
  params.initial_max_stream_data_bidi_local = config.stream_window;
  params.initial_max_stream_data_bidi_remote = config.stream_window;
  params.initial_max_stream_data_uni = config.stream_window;
  params.initial_max_streams_bidi = config.max_streams;
  params.initial_max_streams_uni = config.max_streams;
  params.max_idle_timeout = ns_of(config.idle_timeout);
  params.active_connection_id_limit = 4;
}

ngtcp2_addr addr_of(const udp::endpoint& ep) {
  return ngtcp2_addr{const_cast<ngtcp2_sockaddr*>(reinterpret_cast<const ngtcp2_sockaddr*>(ep.data())),
                     static_cast<ngtcp2_socklen>(ep.size())};
}

std::string tls_alert_text(uint64_t code) {
  uint64_t alert = code - 0x100;
  if (alert == 120) return "the peer refused the application protocol (no ALPN in common)";
  if (alert == 42 || alert == 43 || alert == 116) return "the peer refused the certificate (TLS alert " + std::to_string(alert) + ")";
  return "TLS alert " + std::to_string(alert);
}

CloseInfo info_from_peer(const ngtcp2_connection_close_error& ccerr) {
  CloseInfo info;
  info.code = ccerr.error_code;
  std::string reason(reinterpret_cast<const char*>(ccerr.reason), ccerr.reason ? ccerr.reasonlen : 0);
  switch (ccerr.type) {
    case NGTCP2_CONNECTION_CLOSE_ERROR_CODE_TYPE_APPLICATION:
      info.kind = CloseInfo::Kind::application;
      info.reason = reason.empty() ? "closed by peer" : reason;
      break;
    case NGTCP2_CONNECTION_CLOSE_ERROR_CODE_TYPE_TRANSPORT_IDLE_CLOSE:
      info.kind = CloseInfo::Kind::idle_timeout;
      info.reason = "idle timeout";
      break;
    default:
      info.kind = CloseInfo::Kind::transport;
      if (ccerr.error_code >= 0x100 && ccerr.error_code <= 0x1ff) info.reason = tls_alert_text(ccerr.error_code);
      else info.reason = reason.empty() ? "closed by peer with a transport error" : reason;
      break;
  }
  return info;
}

}  // namespace

ConnState::ConnState(std::shared_ptr<Core> core_, bool server_)
    : core(std::move(core_)), server(server_), timer(core->io) {
  tls_ctx.ref.get_conn = get_conn;
  tls_ctx.ref.user_data = this;
}

ConnState::~ConnState() {
  if (conn) ngtcp2_conn_del(conn);
  if (tls) gnutls_deinit(tls);
}

Status ConnState::init_client(const udp::endpoint& to, const PublicKey& expected, const std::string& alpn_) {
  remote = to;
  alpn = alpn_;
  ngtcp2_cid dcid, scid;
  dcid.datalen = scid.datalen = kCidLen;
  gnutls_rnd(GNUTLS_RND_RANDOM, dcid.data, kCidLen);
  gnutls_rnd(GNUTLS_RND_RANDOM, scid.data, kCidLen);
  ngtcp2_path path{addr_of(core->local), addr_of(remote), nullptr};
  ngtcp2_settings settings;
  ngtcp2_transport_params params;
  fill_settings(settings, params, core->config);
  auto callbacks = make_callbacks(false);
  int rv = ngtcp2_conn_client_new(&conn, &dcid, &scid, &path, NGTCP2_PROTO_VER_V1, &callbacks, &settings, &params,
                                  nullptr, this);
  if (rv != 0) return make_error(std::string("cannot create QUIC connection: ") + ngtcp2_strerror(rv));
  tls_ctx.check.expected = expected;
  KIVO_TRY_ASSIGN(session, make_client_session(*core->identity, alpn, &tls_ctx));
  tls = session;
  ngtcp2_conn_set_tls_native_handle(conn, tls);
  if (core->config.keep_alive.count() > 0) ngtcp2_conn_set_keep_alive_timeout(conn, ns_of(core->config.keep_alive));
  core->add_cid(cid_key(scid.data, scid.datalen), shared_from_this());
  return {};
}

Status ConnState::init_server(const udp::endpoint& from, const ngtcp2_pkt_hd& hd,
                              const std::vector<std::string>& alpns) {
  remote = from;
  ngtcp2_cid scid;
  scid.datalen = kCidLen;
  gnutls_rnd(GNUTLS_RND_RANDOM, scid.data, kCidLen);
  ngtcp2_path path{addr_of(core->local), addr_of(remote), nullptr};
  ngtcp2_settings settings;
  ngtcp2_transport_params params;
  fill_settings(settings, params, core->config);
  params.original_dcid = hd.dcid;
  auto callbacks = make_callbacks(true);
  int rv = ngtcp2_conn_server_new(&conn, &hd.scid, &scid, &path, hd.version, &callbacks, &settings, &params, nullptr,
                                  this);
  if (rv != 0) return make_error(std::string("cannot create QUIC connection: ") + ngtcp2_strerror(rv));
  KIVO_TRY_ASSIGN(session, make_server_session(*core->identity, alpns, &tls_ctx));
  tls = session;
  ngtcp2_conn_set_tls_native_handle(conn, tls);
  if (core->config.keep_alive.count() > 0) ngtcp2_conn_set_keep_alive_timeout(conn, ns_of(core->config.keep_alive));
  core->add_cid(cid_key(scid.data, scid.datalen), shared_from_this());
  core->add_cid(cid_key(hd.dcid.data, hd.dcid.datalen), shared_from_this());
  return {};
}

void ConnState::read(const uint8_t* data, size_t size, const udp::endpoint& from) {
  if (ended) return;
  ngtcp2_path path{addr_of(core->local), addr_of(from), nullptr};
  ngtcp2_pkt_info pi{};
  int rv = ngtcp2_conn_read_pkt(conn, &path, &pi, data, size, now_ts());
  if (rv != 0) {
    fail_with_liberr(rv);
    return;
  }
  core->dirty.insert(shared_from_this());
}

namespace {

bool has_data_to_send(const StreamState& st) {
  return st.can_send && !st.send_error && !st.closed && (st.unsent() > 0 || (st.fin_requested && !st.fin_written));
}

}  // namespace

void ConnState::flush() {
  if (ended || in_flush) return;
  auto self = shared_from_this();
  in_flush = true;

  // Work noted during callbacks: done here, where the transport may be called again.
  if (handshake_pending) {
    handshake_pending = false;
    on_handshake_completed();
  }
  for (auto& [id, code] : std::exchange(to_shutdown_write, {})) ngtcp2_conn_shutdown_stream_write(conn, id, code);
  for (int round = 0; round < 4 && !ended; ++round) {
    auto pending = std::exchange(to_service, {});
    if (pending.empty() && !accepts_dirty && !opens_dirty) break;
    for (auto& st : pending) service_stream(st);
    if (std::exchange(accepts_dirty, false)) service_accepts();
    if (std::exchange(opens_dirty, false)) service_opens();
  }
  if (ended) {
    in_flush = false;
    return;
  }
  if (core->send_blocked) {
    core->want_write.insert(self);
    in_flush = false;
    return;
  }

  std::vector<std::shared_ptr<StreamState>> ready;
  for (auto& [id, st] : streams)
    if (has_data_to_send(*st)) ready.push_back(st);
  size_t next = 0;
  std::vector<std::shared_ptr<StreamState>> advanced;

  ngtcp2_path_storage ps;
  ngtcp2_path_storage_zero(&ps);
  ngtcp2_pkt_info pi{};
  const ngtcp2_tstamp ts = now_ts();
  const size_t max_size = ngtcp2_conn_get_path_max_tx_udp_payload_size(conn);
  const size_t quantum = ngtcp2_conn_get_send_quantum(conn);
  const size_t max_packets = std::clamp<size_t>(quantum / std::max<size_t>(max_size, 1), 1, kMaxPacketsPerFlush);
  uint8_t* buf = core->tx_buffer.data();
  size_t packets = 0;

  for (;;) {
    StreamState* st = nullptr;
    while (next < ready.size()) {
      if (has_data_to_send(*ready[next])) {
        st = ready[next].get();
        break;
      }
      ++next;
    }
    ngtcp2_vec vec[16];
    size_t vcnt = 0;
    int64_t stream_id = -1;
    uint32_t flags = NGTCP2_WRITE_STREAM_FLAG_MORE;
    if (st) {
      stream_id = st->id;
      uint64_t covered = st->written;
      for (auto& chunk : st->chunks) {
        uint64_t end = chunk.start + chunk.data.size();
        if (end <= st->written) continue;
        if (vcnt == 16) break;
        uint64_t off = std::max(st->written, chunk.start) - chunk.start;
        vec[vcnt].base = chunk.data.data() + off;
        vec[vcnt].len = chunk.data.size() - off;
        ++vcnt;
        covered = end;
      }
      if (st->fin_requested && covered == st->queued_end) flags |= NGTCP2_WRITE_STREAM_FLAG_FIN;
    }
    ngtcp2_ssize datalen = -1;
    ngtcp2_ssize n =
        ngtcp2_conn_writev_stream(conn, &ps.path, &pi, buf, max_size, &datalen, flags, stream_id, vec, vcnt, ts);
    auto note_written = [&] {
      if (!st || datalen < 0) return;
      st->written += static_cast<uint64_t>(datalen);
      if ((flags & NGTCP2_WRITE_STREAM_FLAG_FIN) && st->written == st->queued_end) st->fin_written = true;
      advanced.push_back(ready[next]);
    };
    if (n < 0) {
      if (n == NGTCP2_ERR_WRITE_MORE) {
        note_written();
        continue;
      }
      if (n == NGTCP2_ERR_STREAM_DATA_BLOCKED || n == NGTCP2_ERR_STREAM_SHUT_WR || n == NGTCP2_ERR_STREAM_NOT_FOUND) {
        ++next;  // this stream waits for credit; the others may still go
        continue;
      }
      in_flush = false;
      fail_with_liberr(static_cast<int>(n));
      return;
    }
    note_written();
    if (n == 0) break;
    // Send on the path the transport chose: it follows the peer if its address changes.
    udp::endpoint to = remote;
    if (ps.path.remote.addrlen > 0 && ps.path.remote.addrlen <= to.capacity()) {
      std::memcpy(to.data(), ps.path.remote.addr, ps.path.remote.addrlen);
      to.resize(ps.path.remote.addrlen);
    }
    if (!core->send_packet(to, buf, static_cast<size_t>(n), this)) break;
    if (++packets >= max_packets) break;
  }
  ngtcp2_conn_update_pkt_tx_time(conn, ts);
  for (auto& st : advanced) service_stream(st);
  in_flush = false;
  if (!ended) arm_timer();
}

void ConnState::service_stream(const std::shared_ptr<StreamState>& st) {
  if (ended) {
    serve_reads(*st, this);
    return;
  }
  // Writes: complete those fully handed over, or fail everything once the stream broke.
  if (st->send_error) {
    auto error = *st->send_error;
    for (auto& chunk : st->chunks)
      if (chunk.done) std::exchange(chunk.done, nullptr)(error);
    st->chunks.clear();
    if (st->finish_done) std::exchange(st->finish_done, nullptr)(error);
  } else {
    for (auto& chunk : st->chunks) {
      if (chunk.start + chunk.data.size() > st->written) break;
      if (chunk.done) std::exchange(chunk.done, nullptr)(Status{});
    }
    while (!st->chunks.empty() && !st->chunks.front().done &&
           st->chunks.front().start + st->chunks.front().data.size() <= st->acked)
      st->chunks.pop_front();
    if (st->finish_done && st->fin_written && st->acked >= st->queued_end)
      std::exchange(st->finish_done, nullptr)(Status{});
  }

  serve_reads(*st, this);
}

void serve_reads(StreamState& st, ConnState* conn) {
  if (!st.pending_read) return;
  if (!conn && !st.recv_error) st.recv_error = make_error("connection closed");
  auto consumed = [&](size_t n) {
    if (conn) conn->after_consumed(st, n);
  };
  auto& pr = *st.pending_read;
  size_t take = std::min(st.unread(), pr.want - (pr.exact ? pr.acc.size() : 0));
  if (!pr.exact) {
    if (take > 0 || st.fin_received || st.recv_error) {
      ReadDone done = std::move(pr.some);
      st.pending_read.reset();
      if (take == 0 && !st.fin_received) {
        done(*st.recv_error);
        return;
      }
      ReadChunk chunk;
      chunk.data.assign(st.rbuf.begin() + st.rhead, st.rbuf.begin() + st.rhead + take);
      st.rhead += take;
      chunk.fin = st.fin_received && st.unread() == 0;
      consumed(take);
      done(std::move(chunk));
    }
    return;
  }
  pr.acc.insert(pr.acc.end(), st.rbuf.begin() + st.rhead, st.rbuf.begin() + st.rhead + take);
  st.rhead += take;
  consumed(take);
  if (pr.acc.size() == pr.want) {
    auto done = std::move(pr.exact_done);
    Bytes out = std::move(pr.acc);
    st.pending_read.reset();
    done(std::move(out));
  } else if (st.unread() == 0 && (st.fin_received || st.recv_error)) {
    auto done = std::move(pr.exact_done);
    size_t got = pr.acc.size(), want = pr.want;
    st.pending_read.reset();
    if (!st.fin_received) done(*st.recv_error);
    else done(make_error("stream ended after " + std::to_string(got) + " of " + std::to_string(want) + " bytes"));
  }
}

void ConnState::after_consumed(StreamState& st, size_t n) {
  if (st.rhead > (64u << 10) && st.rhead * 2 > st.rbuf.size()) {
    st.rbuf.erase(st.rbuf.begin(), st.rbuf.begin() + static_cast<std::ptrdiff_t>(st.rhead));
    st.rhead = 0;
  }
  if (n == 0 || ended) return;
  if (!st.closed) ngtcp2_conn_extend_max_stream_offset(conn, st.id, n);
  ngtcp2_conn_extend_max_offset(conn, n);
}

void ConnState::service_accepts() {
  while (!incoming_uni.empty() && !accept_uni_waiters.empty() && !ended) {
    auto st = incoming_uni.front();
    incoming_uni.pop_front();
    auto done = std::move(accept_uni_waiters.front());
    accept_uni_waiters.pop_front();
    done(RecvStream(st));
  }
  while (!incoming_bi.empty() && !accept_bi_waiters.empty() && !ended) {
    auto st = incoming_bi.front();
    incoming_bi.pop_front();
    auto done = std::move(accept_bi_waiters.front());
    accept_bi_waiters.pop_front();
    done(BiStream{SendStream(st), RecvStream(st)});
  }
}

void ConnState::service_opens() {
  if (!established) return;
  auto open = [&](bool bidi) -> Result<std::shared_ptr<StreamState>> {
    int64_t id = -1;
    int rv = bidi ? ngtcp2_conn_open_bidi_stream(conn, &id, nullptr) : ngtcp2_conn_open_uni_stream(conn, &id, nullptr);
    if (rv == NGTCP2_ERR_STREAM_ID_BLOCKED) return std::shared_ptr<StreamState>();
    if (rv != 0) return make_error(std::string("cannot open a stream: ") + ngtcp2_strerror(rv));
    auto st = std::make_shared<StreamState>();
    st->conn = weak_from_this();
    st->core = core;
    st->id = id;
    st->can_send = true;
    st->can_recv = bidi;
    streams[id] = st;
    return st;
  };
  while (!open_uni_waiters.empty() && !ended) {
    auto st = open(false);
    if (st.ok() && !st.value()) break;
    auto done = std::move(open_uni_waiters.front());
    open_uni_waiters.pop_front();
    if (!st.ok()) done(st.take_error());
    else done(SendStream(st.value()));
  }
  while (!open_bi_waiters.empty() && !ended) {
    auto st = open(true);
    if (st.ok() && !st.value()) break;
    auto done = std::move(open_bi_waiters.front());
    open_bi_waiters.pop_front();
    if (!st.ok()) done(st.take_error());
    else done(BiStream{SendStream(st.value()), RecvStream(st.value())});
  }
}

void ConnState::on_handshake_completed() {
  std::string negotiated = selected_alpn(tls);
  if (!tls_ctx.check.seen) {
    close(0, "peer identity unknown after the handshake");
    return;
  }
  {
    std::lock_guard lock(info_mutex);
    peer_key = *tls_ctx.check.seen;
  }
  if (server) {
    if (!core->router || !core->router->find(negotiated)) {
      close(0, "no handler for this application protocol");
      return;
    }
  } else if (negotiated != alpn) {
    close(0, "peer did not agree on application protocol \"" + alpn + "\"");
    return;
  }
  alpn = negotiated;
  established = true;
  opens_dirty = true;
  if (on_ready) std::exchange(on_ready, nullptr)(shared_from_this(), Status{});
}

void ConnState::close(uint64_t code, const std::string& reason) {
  if (ended) return;
  if (conn && !ngtcp2_conn_is_in_closing_period(conn) && !ngtcp2_conn_is_in_draining_period(conn)) {
    ngtcp2_connection_close_error ccerr;
    ngtcp2_connection_close_error_default(&ccerr);
    ngtcp2_connection_close_error_set_application_error(
        &ccerr, code, reinterpret_cast<const uint8_t*>(reason.data()), reason.size());
    ngtcp2_path_storage ps;
    ngtcp2_path_storage_zero(&ps);
    ngtcp2_pkt_info pi{};
    ngtcp2_ssize n = ngtcp2_conn_write_connection_close(conn, &ps.path, &pi, core->tx_buffer.data(),
                                                        core->tx_buffer.size(), &ccerr, now_ts());
    if (n > 0) core->send_packet(remote, core->tx_buffer.data(), static_cast<size_t>(n), nullptr);
  }
  end(CloseInfo{CloseInfo::Kind::local, code, reason.empty() ? "closed locally" : reason});
}

void ConnState::fail_with_liberr(int liberr) {
  if (ended) return;
  if (liberr == NGTCP2_ERR_DRAINING || liberr == NGTCP2_ERR_CLOSING) {
    ngtcp2_connection_close_error ccerr;
    ngtcp2_conn_get_connection_close_error(conn, &ccerr);
    end(info_from_peer(ccerr));
    return;
  }
  if (liberr == NGTCP2_ERR_IDLE_CLOSE) {
    end(CloseInfo{CloseInfo::Kind::idle_timeout, 0, "idle timeout: nothing heard from the peer"});
    return;
  }
  if (liberr == NGTCP2_ERR_HANDSHAKE_TIMEOUT) {
    end(CloseInfo{CloseInfo::Kind::transport, 0, "handshake timed out"});
    return;
  }
  if (liberr == NGTCP2_ERR_DROP_CONN) {
    end(CloseInfo{CloseInfo::Kind::transport, 0, "connection dropped"});
    return;
  }
  ngtcp2_connection_close_error ccerr;
  ngtcp2_connection_close_error_default(&ccerr);
  uint8_t alert = ngtcp2_conn_get_tls_alert(conn);
  if (liberr == NGTCP2_ERR_CRYPTO && alert != 0)
    ngtcp2_connection_close_error_set_transport_error_tls_alert(&ccerr, alert, nullptr, 0);
  else
    ngtcp2_connection_close_error_set_transport_error_liberr(&ccerr, liberr, nullptr, 0);
  ngtcp2_path_storage ps;
  ngtcp2_path_storage_zero(&ps);
  ngtcp2_pkt_info pi{};
  ngtcp2_ssize n = ngtcp2_conn_write_connection_close(conn, &ps.path, &pi, core->tx_buffer.data(),
                                                      core->tx_buffer.size(), &ccerr, now_ts());
  if (n > 0) core->send_packet(remote, core->tx_buffer.data(), static_cast<size_t>(n), nullptr);
  std::string reason = tls_ctx.check.error;
  if (reason.empty()) {
    reason = liberr < 0 && liberr > -1000 ? std::string(ngtcp2_strerror(liberr)) : "TLS handshake failed";
    if (alert != 0) reason += " (TLS alert " + std::to_string(alert) + ")";
  }
  end(CloseInfo{CloseInfo::Kind::transport, ccerr.error_code, reason});
}

Error ConnState::closed_error() const {
  std::lock_guard lock(info_mutex);
  return make_error("connection closed: " + (close_info ? describe(*close_info) : std::string("unknown reason")));
}

void ConnState::end(CloseInfo info) {
  if (ended) return;
  ended = true;
  auto self = shared_from_this();
  {
    std::lock_guard lock(info_mutex);
    close_info = info;
  }
  timer.cancel();
  core->forget(self);
  Error error = closed_error();
  auto all_streams = std::exchange(streams, {});
  for (auto& [id, st] : all_streams) {
    st->closed = true;
    for (auto& chunk : st->chunks)
      if (chunk.done) std::exchange(chunk.done, nullptr)(error);
    st->chunks.clear();
    if (st->finish_done) std::exchange(st->finish_done, nullptr)(error);
    if (!st->send_error) st->send_error = error;
    if (!st->recv_error) st->recv_error = error;
    serve_reads(*st, this);  // bytes that arrived before the end can still be read
  }
  incoming_uni.clear();
  incoming_bi.clear();
  for (auto& done : std::exchange(accept_uni_waiters, {})) done(error);
  for (auto& done : std::exchange(accept_bi_waiters, {})) done(error);
  for (auto& done : std::exchange(open_uni_waiters, {})) done(error);
  for (auto& done : std::exchange(open_bi_waiters, {})) done(error);
  if (on_ready) std::exchange(on_ready, nullptr)(self, error);
  for (auto& done : std::exchange(closed_waiters, {})) done(info);
}

void ConnState::arm_timer() {
  ngtcp2_tstamp expiry = ngtcp2_conn_get_expiry(conn);
  // Re-programming the timer on every flush is costly; a timer that fires early just finds
  // nothing due and is armed again.
  if (expiry == UINT64_MAX || expiry >= armed_expiry) return;
  armed_expiry = expiry;
  ngtcp2_tstamp now = now_ts();
  auto delay = std::chrono::nanoseconds(expiry > now ? expiry - now : 0);
  timer.expires_after(delay);
  std::weak_ptr<ConnState> weak = weak_from_this();
  timer.async_wait([weak](const asio::error_code& ec) {
    if (ec) return;
    if (auto self = weak.lock()) {
      self->armed_expiry = UINT64_MAX;
      self->on_timer();
    }
  });
}

void ConnState::on_timer() {
  if (ended) return;
  int rv = ngtcp2_conn_handle_expiry(conn, now_ts());
  if (rv != 0) {
    fail_with_liberr(rv);
    return;
  }
  flush();
}

}  // namespace kivo::p2p::detail
