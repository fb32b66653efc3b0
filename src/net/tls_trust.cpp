#include "net/tls_trust.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

bool IsIpAddress(const std::string& host) {
  unsigned char buf[16];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string VerifyFailureText(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "TLS: certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "TLS: certificate is not yet valid";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "TLS: host name does not match the certificate";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return "TLS: the certificate is self-signed and not trusted";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return "TLS: the certificate is not signed by a trusted authority";
    case X509_V_ERR_CERT_REVOKED:
      return "TLS: certificate has been revoked";
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
    case X509_V_ERR_CA_MD_TOO_WEAK:
      return "TLS: the certificate's key or signature is too weak";
    default:
      return std::string("TLS: certificate not accepted (") +
             X509_verify_cert_error_string(result) + ")";
  }
}

// The engine's own words for its last queued error, for the rarer failures.
std::string EngineReason(unsigned long code) {
  const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
  return reason != nullptr ? reason : "unknown error";
}

}  // namespace

ssl_ctx_st* NewTlsClientContext(const std::string& caFile, std::string& failure) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) {
    failure = "TLS: the TLS library could not start (" + EngineReason(ERR_get_error()) + ")";
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_default_verify_paths(ctx);
  if (!caFile.empty()) {
    ERR_clear_error();
    if (SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
      failure = "TLS: cannot read trusted certificates from " + caFile;
      ERR_clear_error();
      SSL_CTX_free(ctx);
      return nullptr;
    }
    // A server's own certificate named there is trusted as it is, without its issuer.
    X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(ctx), X509_V_FLAG_PARTIAL_CHAIN);
  }
  return ctx;
}

bool SetTlsPeerName(ssl_st* ssl, const std::string& host) {
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
  if (IsIpAddress(host)) return X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
  SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
}

std::string TlsHandshakeFailureText(ssl_st* ssl, int sslError, bool peerClosed) {
  long verify = SSL_get_verify_result(ssl);
  if (verify != X509_V_OK) return VerifyFailureText(verify);
  unsigned long code = ERR_peek_last_error();
  if (peerClosed && code == 0) return "TLS: the server closed the connection during the handshake";
  if (sslError == SSL_ERROR_SYSCALL && code == 0)
    return "TLS: the connection broke during the handshake";
  switch (ERR_GET_REASON(code)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
    case SSL_R_UNKNOWN_PROTOCOL:
    case SSL_R_RECORD_LENGTH_MISMATCH:
    case SSL_R_HTTP_REQUEST:
    case SSL_R_HTTPS_PROXY_REQUEST:
      return "TLS: the server does not answer in TLS";
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
      return "TLS: the server offers no TLS version of 1.2 or later";
    case SSL_R_NO_SHARED_CIPHER:
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
      return "TLS: the server and the proxy have no cipher in common";
    default:
      return "TLS: the handshake failed (" + EngineReason(code) + ")";
  }
}

std::string TlsSessionFailureText(int sslError) {
  unsigned long code = ERR_peek_last_error();
  if (sslError == SSL_ERROR_SYSCALL && code == 0) return "TLS: the connection broke";
  return "TLS: the session broke (" + EngineReason(code) + ")";
}
