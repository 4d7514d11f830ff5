// A QUIC connection to an authenticated peer: streams in both directions and the close reason.
// A Connection is a shared handle; copies refer to the same connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/base/result.h"
#include "runtime/p2p/endpoint_address.h"
#include "runtime/p2p/secret_key.h"
#include "runtime/p2p/stream.h"

namespace kivo::p2p {

namespace detail {
struct ConnState;
}

// Why a connection ended.
struct CloseInfo {
  enum class Kind {
    local,        // closed by this side (close() or endpoint shutdown)
    application,  // the peer closed it with an application error code
    transport,    // a QUIC or TLS error on either side
    idle_timeout, // nothing heard within the idle timeout
  };
  Kind kind = Kind::local;
  uint64_t code = 0;   // application or transport error code
  std::string reason;  // human-readable
};

std::string describe(const CloseInfo& info);

class Connection {
public:
  Connection() = default;
  explicit Connection(std::shared_ptr<detail::ConnState> state) : m_state(std::move(state)) {}

  PublicKey remote_id() const;     // authenticated by the TLS handshake
  std::string alpn() const;        // the negotiated application protocol
  SocketAddr remote_addr() const;  // the path in use when the connection was made

  void open_uni(std::function<void(Result<SendStream>)> done) const;  // waits while the peer's stream limit is reached
  void open_bi(std::function<void(Result<BiStream>)> done) const;
  void accept_uni(std::function<void(Result<RecvStream>)> done) const;  // the next stream the peer opened
  void accept_bi(std::function<void(Result<BiStream>)> done) const;

  // Closes at once with an application error code; unsent data is dropped, pending operations fail.
  void close(uint64_t error_code, std::string reason = {}) const;
  // Runs once when the connection ends (at once if it already has), on the network thread.
  void on_closed(std::function<void(const CloseInfo&)> done) const;
  std::optional<CloseInfo> close_info() const;  // set once ended

  explicit operator bool() const { return m_state != nullptr; }
  friend bool operator==(const Connection& a, const Connection& b) { return a.m_state == b.m_state; }

private:
  std::shared_ptr<detail::ConnState> m_state;
};

}  // namespace kivo::p2p
