#include "runtime/p2p/stream.h"

#include "runtime/p2p/detail/state.h"

namespace kivo::p2p {
namespace {

using detail::ConnState;
using detail::StreamState;

// Runs fn(stream, live connection) on the network thread, or reports why there is none.
template <typename Fail, typename Fn>
void on_stream(const std::shared_ptr<StreamState>& st, Fail fail, Fn fn) {
  if (!st) {
    fail(make_error("stream handle is empty"));
    return;
  }
  st->core->post([st, fail = std::move(fail), fn = std::move(fn)]() mutable {
    auto conn = st->conn.lock();
    if (!conn || conn->ended) {
      fail(conn ? conn->closed_error() : make_error("connection closed"));
      return;
    }
    fn(*st, *conn);
  });
}

}  // namespace

void SendStream::write(Bytes data, WriteDone done) const {
  auto fail = [done](Error e) { done(std::move(e)); };
  on_stream(m_state, fail, [data = std::move(data), done](StreamState& st, ConnState& conn) mutable {
    if (!st.can_send) return done(make_error("stream is receive-only"));
    if (st.send_error) return done(*st.send_error);
    if (st.fin_requested) return done(make_error("stream is already finished"));
    const size_t limit = conn.core->config.max_unsent_per_stream;
    if (st.unsent() > 0 && st.unsent() + data.size() > limit)
      return done(make_error("stream write limit reached: wait for earlier writes to complete"));
    if (data.empty()) return done(Status{});
    detail::Chunk chunk;
    chunk.start = st.queued_end;
    st.queued_end += data.size();
    chunk.data = std::move(data);
    chunk.done = std::move(done);
    st.chunks.push_back(std::move(chunk));
    conn.flush();
  });
}

void SendStream::finish(WriteDone done) const {
  auto fail = [done](Error e) { done(std::move(e)); };
  on_stream(m_state, fail, [done](StreamState& st, ConnState& conn) mutable {
    if (!st.can_send) return done(make_error("stream is receive-only"));
    if (st.send_error) return done(*st.send_error);
    if (st.fin_requested) return done(make_error("stream is already finished"));
    st.fin_requested = true;
    st.finish_done = std::move(done);
    conn.flush();
  });
}

void SendStream::reset(uint64_t error_code) const {
  on_stream(m_state, [](Error) {}, [error_code, st = m_state](StreamState&, ConnState& conn) {
    if (!st->can_send || st->send_error) return;
    if (!st->closed) ngtcp2_conn_shutdown_stream_write(conn.conn, st->id, error_code);
    st->send_error = make_error("stream reset locally (code " + std::to_string(error_code) + ")");
    conn.service_stream(st);
    conn.flush();
  });
}

int64_t SendStream::id() const { return m_state ? m_state->id : -1; }

void RecvStream::read_some(size_t max_bytes, ReadDone done) const {
  if (!m_state) return done(make_error("stream handle is empty"));
  m_state->core->post([st = m_state, max_bytes, done = std::move(done)]() mutable {
    if (!st->can_recv) return done(make_error("stream is send-only"));
    if (st->pending_read) return done(make_error("a read is already pending on this stream"));
    if (max_bytes == 0) return done(make_error("read size must be at least 1"));
    st->pending_read.emplace();
    st->pending_read->want = max_bytes;
    st->pending_read->some = std::move(done);
    auto conn = st->conn.lock();
    detail::serve_reads(*st, conn.get());
    if (conn) conn->flush();
  });
}

void RecvStream::read_exact(size_t n, ReadExactDone done) const {
  if (!m_state) return done(make_error("stream handle is empty"));
  m_state->core->post([st = m_state, n, done = std::move(done)]() mutable {
    if (!st->can_recv) return done(make_error("stream is send-only"));
    if (st->pending_read) return done(make_error("a read is already pending on this stream"));
    if (n == 0) return done(Bytes{});
    st->pending_read.emplace();
    st->pending_read->want = n;
    st->pending_read->exact = true;
    st->pending_read->exact_done = std::move(done);
    auto conn = st->conn.lock();
    detail::serve_reads(*st, conn.get());
    if (conn) conn->flush();
  });
}

void RecvStream::stop(uint64_t error_code) const {
  on_stream(m_state, [](Error) {}, [error_code, st = m_state](StreamState&, ConnState& conn) {
    if (!st->can_recv || st->recv_error) return;
    if (!st->closed) ngtcp2_conn_shutdown_stream_read(conn.conn, st->id, error_code);
    // Credit for bytes nobody will read goes back to the connection.
    ngtcp2_conn_extend_max_offset(conn.conn, st->unread());
    st->rbuf.clear();
    st->rhead = 0;
    st->recv_error = make_error("stream stopped locally (code " + std::to_string(error_code) + ")");
    detail::serve_reads(*st, &conn);
    conn.flush();
  });
}

int64_t RecvStream::id() const { return m_state ? m_state->id : -1; }

}  // namespace kivo::p2p
