#include "runtime/p2p/connection.h"

#include "runtime/p2p/detail/state.h"

namespace kivo::p2p {
namespace {

using detail::ConnState;

template <typename Done, typename Fn>
void on_conn(const std::shared_ptr<ConnState>& state, Done done, Fn fn) {
  if (!state) {
    done(make_error("connection handle is empty"));
    return;
  }
  state->core->post([state, done = std::move(done), fn = std::move(fn)]() mutable {
    if (state->ended) {
      done(state->closed_error());
      return;
    }
    fn(*state, std::move(done));
  });
}

}  // namespace

std::string describe(const CloseInfo& info) {
  switch (info.kind) {
    case CloseInfo::Kind::local:
      return "closed locally (code " + std::to_string(info.code) + "): " + info.reason;
    case CloseInfo::Kind::application:
      return "closed by peer (code " + std::to_string(info.code) + "): " + info.reason;
    case CloseInfo::Kind::transport:
      return "transport error (code " + std::to_string(info.code) + "): " + info.reason;
    case CloseInfo::Kind::idle_timeout:
      return "idle timeout: " + info.reason;
  }
  return info.reason;
}

PublicKey Connection::remote_id() const {
  if (!m_state) return {};
  std::lock_guard lock(m_state->info_mutex);
  return m_state->peer_key;
}

std::string Connection::alpn() const { return m_state ? m_state->alpn : std::string(); }

SocketAddr Connection::remote_addr() const { return m_state ? detail::to_socket_addr(m_state->remote) : SocketAddr{}; }

void Connection::open_uni(std::function<void(Result<SendStream>)> done) const {
  on_conn(m_state, std::move(done), [](ConnState& c, auto done) {
    c.open_uni_waiters.push_back(std::move(done));
    c.service_opens();
    c.flush();
  });
}

void Connection::open_bi(std::function<void(Result<BiStream>)> done) const {
  on_conn(m_state, std::move(done), [](ConnState& c, auto done) {
    c.open_bi_waiters.push_back(std::move(done));
    c.service_opens();
    c.flush();
  });
}

void Connection::accept_uni(std::function<void(Result<RecvStream>)> done) const {
  on_conn(m_state, std::move(done), [](ConnState& c, auto done) {
    c.accept_uni_waiters.push_back(std::move(done));
    c.service_accepts();
  });
}

void Connection::accept_bi(std::function<void(Result<BiStream>)> done) const {
  on_conn(m_state, std::move(done), [](ConnState& c, auto done) {
    c.accept_bi_waiters.push_back(std::move(done));
    c.service_accepts();
  });
}

void Connection::close(uint64_t error_code, std::string reason) const {
  if (!m_state) return;
  m_state->core->post([state = m_state, error_code, reason = std::move(reason)] { state->close(error_code, reason); });
}

void Connection::on_closed(std::function<void(const CloseInfo&)> done) const {
  if (!m_state) return;
  m_state->core->post([state = m_state, done = std::move(done)]() mutable {
    if (state->ended) {
      CloseInfo info;
      {
        std::lock_guard lock(state->info_mutex);
        info = *state->close_info;
      }
      done(info);
      return;
    }
    state->closed_waiters.push_back(std::move(done));
  });
}

std::optional<CloseInfo> Connection::close_info() const {
  if (!m_state) return std::nullopt;
  std::lock_guard lock(m_state->info_mutex);
  return m_state->close_info;
}

}  // namespace kivo::p2p
