// An endpoint: one UDP socket, one Ed25519 identity, and the QUIC connections made through it.
//
// Peer authentication. Each side presents a self-signed X.509 certificate carrying its Ed25519
// public key; TLS 1.3 CertificateVerify proves possession of the secret key. Neither side checks a
// chain: the dialling side accepts only the exact key of the address it dialled, and the accepting
// side requires a certificate and records its key. Self-signed certificates are used rather than
// raw public keys (RFC 7250) because every TLS stack and every future relay or interop peer handles
// certificates the same way, while raw-key negotiation needs both sides to agree on the
// certificate-type extensions, is rarely exercised together with QUIC, and buys nothing here since
// the certificate is only a carrier for the key.
//
// Threads. All network work runs on the endpoint's own thread (an Asio io_context). Every method
// may be called from any thread and never blocks, except the destructor, which shuts down and
// waits. Completions and handlers run on the network thread and must not block; a UI bridges them
// with a bounded Channel and its wake hook.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/base/result.h"
#include "runtime/p2p/connection.h"
#include "runtime/p2p/endpoint_address.h"
#include "runtime/p2p/router.h"
#include "runtime/p2p/secret_key.h"

namespace kivo::p2p {

namespace detail {
struct Core;
}

struct EndpointConfig {
  std::optional<SecretKey> secret_key;  // none: a fresh key is generated
  std::string bind_host;                // empty: "::" dual-stack, or "0.0.0.0" without IPv6
  uint16_t port = 0;                    // 0: any free port
  std::chrono::milliseconds idle_timeout{30000};
  std::chrono::milliseconds keep_alive{5000};         // 0 disables keep-alive pings
  std::chrono::milliseconds handshake_timeout{10000};
  std::chrono::milliseconds dial_stagger{250};        // delay between racing a dialled address's IPs
  uint64_t stream_window = 1 << 20;        // receive buffer per stream (flow-control window)
  uint64_t connection_window = 16 << 20;   // receive buffer per connection
  uint64_t max_streams = 100;              // concurrent streams the peer may open, per direction
  size_t max_unsent_per_stream = 1 << 20;  // write limit: unsent bytes queued per stream
};

class Endpoint {
public:
  static Result<std::unique_ptr<Endpoint>> bind(EndpointConfig config = {});
  ~Endpoint();  // graceful shutdown, then waits for the network thread
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  PublicKey id() const;
  SocketAddr local_addr() const;     // the bound socket, e.g. "[::]:4433"
  EndpointAddress address() const;   // id plus the interface addresses found at bind time

  // Dials the address (its IP addresses are raced, a stagger apart) and verifies the peer's key.
  void connect(EndpointAddress address, std::string alpn, std::function<void(Result<Connection>)> done);

  // Starts accepting: each connection that negotiated a registered ALPN runs its handler once.
  // Until serve is called, and for unregistered ALPNs, incoming connections are refused.
  void serve(Router router);
  void stop_serving();  // refuse new connections from now on; open ones stay

  // Closes every connection (error code 0), stops the network thread, then runs done on it.
  void shutdown(std::function<void()> done = {});

private:
  explicit Endpoint(std::shared_ptr<detail::Core> core) : m_core(std::move(core)) {}
  std::shared_ptr<detail::Core> m_core;
};

}  // namespace kivo::p2p
