// TLS 1.3 sessions for QUIC: the self-signed Ed25519 certificate of an endpoint and the
// per-connection sessions that present it and check the peer's.
#pragma once

#include <gnutls/gnutls.h>
#include <ngtcp2/ngtcp2_crypto.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/p2p/secret_key.h"

namespace kivo::p2p::detail {

// Credentials built once per endpoint from its secret key.
class TlsIdentity {
public:
  static Result<std::shared_ptr<TlsIdentity>> create(const SecretKey& key);
  ~TlsIdentity();
  gnutls_certificate_credentials_t credentials() const { return m_cred; }

private:
  gnutls_certificate_credentials_t m_cred = nullptr;
};

// What the certificate check of a session saw; owned by the connection, reached through the
// session pointer.
struct PeerCheck {
  std::optional<PublicKey> expected;  // the dialling side: the key that must be presented
  std::optional<PublicKey> seen;      // the key the peer's certificate carries
  std::string error;                  // why the check refused, for the close reason
};

// The session pointer of a QUIC session: ngtcp2 reads the conn_ref at its start, the certificate
// check fills in the PeerCheck. It must outlive the session.
struct SessionContext {
  ngtcp2_crypto_conn_ref ref;  // first member: the session pointer is also a conn_ref pointer
  PeerCheck check;
};

Result<gnutls_session_t> make_client_session(const TlsIdentity& identity, const std::string& alpn, SessionContext* ctx);
Result<gnutls_session_t> make_server_session(const TlsIdentity& identity, const std::vector<std::string>& alpns,
                                             SessionContext* ctx);

std::string selected_alpn(gnutls_session_t session);


}  // namespace kivo::p2p::detail
