#include "runtime/p2p/detail/tls.h"

#include <gnutls/abstract.h>
#include <gnutls/crypto.h>
#include <gnutls/x509.h>
#include <ngtcp2/ngtcp2_crypto_gnutls.h>

#include <cstring>
#include <ctime>

namespace kivo::p2p::detail {
namespace {

// TLS 1.3 only, with the ciphers QUIC packet protection supports.
constexpr const char* kPriority =
    "%DISABLE_TLS13_COMPAT_MODE:NORMAL:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-128-GCM:+AES-256-GCM:"
    "+CHACHA20-POLY1305:+AES-128-CCM";

Error tls_error(const char* what, int rv) { return make_error(std::string(what) + ": " + gnutls_strerror(rv)); }

// Reads the Ed25519 key out of the peer's first certificate and compares it with the dialled key.
int verify_peer(gnutls_session_t session) {
  auto* ctx = static_cast<SessionContext*>(gnutls_session_get_ptr(session));
  if (!ctx) return GNUTLS_E_CERTIFICATE_ERROR;
  PeerCheck* check = &ctx->check;
  unsigned count = 0;
  const gnutls_datum_t* certs = gnutls_certificate_get_peers(session, &count);
  if (!certs || count == 0) {
    check->error = "peer sent no certificate";
    return GNUTLS_E_CERTIFICATE_ERROR;
  }
  gnutls_x509_crt_t crt;
  if (gnutls_x509_crt_init(&crt) < 0) return GNUTLS_E_CERTIFICATE_ERROR;
  int result = GNUTLS_E_CERTIFICATE_ERROR;
  gnutls_ecc_curve_t curve;
  gnutls_datum_t x{}, y{};
  if (gnutls_x509_crt_import(crt, &certs[0], GNUTLS_X509_FMT_DER) < 0) {
    check->error = "peer certificate does not parse";
  } else if (gnutls_x509_crt_get_pk_algorithm(crt, nullptr) != GNUTLS_PK_EDDSA_ED25519) {
    check->error = "peer certificate does not carry an Ed25519 key";
  } else if (gnutls_x509_crt_get_pk_ecc_raw(crt, &curve, &x, &y) < 0 || x.size != 32) {
    check->error = "peer certificate key cannot be read";
  } else {
    PublicKey seen;
    std::memcpy(seen.bytes.data(), x.data, 32);
    check->seen = seen;
    if (check->expected && *check->expected != seen) {
      check->error = "peer presented key " + seen.to_hex() + " but " + check->expected->to_hex() + " was dialled";
    } else {
      result = 0;
    }
  }
  gnutls_free(x.data);
  gnutls_free(y.data);
  gnutls_x509_crt_deinit(crt);
  return result;
}

Result<gnutls_session_t> make_session(const TlsIdentity& identity, unsigned flags, SessionContext* ctx) {
  gnutls_session_t session;
  int rv = gnutls_init(&session, flags | GNUTLS_NO_END_OF_EARLY_DATA);
  if (rv < 0) return tls_error("gnutls_init", rv);
  auto fail = [&](const char* what, int code) {
    gnutls_deinit(session);
    return tls_error(what, code);
  };
  if ((rv = gnutls_priority_set_direct(session, kPriority, nullptr)) < 0) return fail("TLS priorities", rv);
  if ((rv = gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, identity.credentials())) < 0)
    return fail("TLS credentials", rv);
  gnutls_session_set_ptr(session, ctx);
  gnutls_session_set_verify_function(session, verify_peer);
  return session;
}

Status set_alpns(gnutls_session_t session, const std::vector<std::string>& alpns) {
  std::vector<gnutls_datum_t> list;
  for (const auto& alpn : alpns)
    list.push_back({reinterpret_cast<unsigned char*>(const_cast<char*>(alpn.data())), static_cast<unsigned>(alpn.size())});
  int rv = gnutls_alpn_set_protocols(session, list.data(), static_cast<unsigned>(list.size()), GNUTLS_ALPN_MANDATORY);
  if (rv < 0) return tls_error("ALPN", rv);
  return {};
}

}  // namespace

Result<std::shared_ptr<TlsIdentity>> TlsIdentity::create(const SecretKey& key) {
  auto identity = std::shared_ptr<TlsIdentity>(new TlsIdentity());
  gnutls_x509_privkey_t pkey = nullptr;
  gnutls_x509_crt_t crt = nullptr;
  auto cleanup = [&] {
    if (crt) gnutls_x509_crt_deinit(crt);
    if (pkey) gnutls_x509_privkey_deinit(pkey);
  };
  int rv = gnutls_x509_privkey_init(&pkey);
  if (rv < 0) return tls_error("private key", rv);
  gnutls_datum_t x{const_cast<unsigned char*>(key.public_key().bytes.data()), 32};
  gnutls_datum_t k{const_cast<unsigned char*>(key.seed().data()), 32};
  if ((rv = gnutls_x509_privkey_import_ecc_raw(pkey, GNUTLS_ECC_CURVE_ED25519, &x, nullptr, &k)) < 0) {
    cleanup();
    return tls_error("importing the Ed25519 key", rv);
  }
  if ((rv = gnutls_x509_crt_init(&crt)) < 0) {
    cleanup();
    return tls_error("certificate", rv);
  }
  unsigned char serial[16];
  gnutls_rnd(GNUTLS_RND_NONCE, serial, sizeof serial);
  serial[0] &= 0x7f;
  time_t now = time(nullptr);
  const char* cn = "kivo-p2p";
  const bool built = gnutls_x509_crt_set_version(crt, 3) >= 0 &&
                     gnutls_x509_crt_set_serial(crt, serial, sizeof serial) >= 0 &&
                     gnutls_x509_crt_set_activation_time(crt, now - 24 * 3600) >= 0 &&
                     gnutls_x509_crt_set_expiration_time(crt, now + 20 * 365 * 24 * 3600LL) >= 0 &&
                     gnutls_x509_crt_set_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, cn, std::strlen(cn)) >= 0 &&
                     gnutls_x509_crt_set_issuer_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, cn, std::strlen(cn)) >= 0 &&
                     gnutls_x509_crt_set_key(crt, pkey) >= 0 &&
                     gnutls_x509_crt_set_basic_constraints(crt, 0, -1) >= 0 &&
                     gnutls_x509_crt_set_key_usage(crt, GNUTLS_KEY_DIGITAL_SIGNATURE) >= 0;
  if (!built) {
    cleanup();
    return make_error("cannot fill the endpoint certificate");
  }
  if ((rv = gnutls_x509_crt_sign2(crt, crt, pkey, GNUTLS_DIG_SHA512, 0)) < 0) {
    cleanup();
    return tls_error("signing the endpoint certificate", rv);
  }
  if ((rv = gnutls_certificate_allocate_credentials(&identity->m_cred)) < 0) {
    cleanup();
    return tls_error("TLS credentials", rv);
  }
  rv = gnutls_certificate_set_x509_key(identity->m_cred, &crt, 1, pkey);
  cleanup();
  if (rv < 0) return tls_error("installing the endpoint certificate", rv);
  return identity;
}

TlsIdentity::~TlsIdentity() {
  if (m_cred) gnutls_certificate_free_credentials(m_cred);
}

Result<gnutls_session_t> make_client_session(const TlsIdentity& identity, const std::string& alpn, SessionContext* ctx) {
  KIVO_TRY_ASSIGN(session, make_session(identity, GNUTLS_CLIENT, ctx));
  auto ok = set_alpns(session, {alpn});
  if (!ok) {
    gnutls_deinit(session);
    return ok.take_error();
  }
  if (ngtcp2_crypto_gnutls_configure_client_session(session) != 0) {
    gnutls_deinit(session);
    return make_error("cannot prepare the TLS session for QUIC");
  }
  return session;
}

Result<gnutls_session_t> make_server_session(const TlsIdentity& identity, const std::vector<std::string>& alpns,
                                             SessionContext* ctx) {
  KIVO_TRY_ASSIGN(session, make_session(identity, GNUTLS_SERVER, ctx));
  gnutls_certificate_server_set_request(session, GNUTLS_CERT_REQUIRE);
  auto ok = set_alpns(session, alpns);
  if (!ok || ngtcp2_crypto_gnutls_configure_server_session(session) != 0) {
    gnutls_deinit(session);
    return make_error("cannot prepare the TLS session for QUIC");
  }
  return session;
}

std::string selected_alpn(gnutls_session_t session) {
  gnutls_datum_t proto{};
  if (gnutls_alpn_get_selected_protocol(session, &proto) < 0) return {};
  return std::string(reinterpret_cast<const char*>(proto.data), proto.size);
}

}  // namespace kivo::p2p::detail
