#pragma once
// What the TLS layer trusts and how it words a refusal: a client context that checks the
// server's certificate against the system's authorities (and an optional file of extra ones),
// TLS 1.2 at least, and plain-words texts for the reasons a handshake fails.

#include <string>

struct ssl_st;
struct ssl_ctx_st;

// A new client context, or nullptr with `failure` set when the extra file cannot be read.
ssl_ctx_st* NewTlsClientContext(const std::string& caFile, std::string& failure);
// Sets the name checked against the certificate: a host name (also sent as the server name)
// or an IP address. False when the engine refuses it.
bool SetTlsPeerName(ssl_st* ssl, const std::string& host);
// Why the handshake of `ssl` failed, "TLS: ..." in plain words. `sslError` is the engine's
// error code of the failing call; `peerClosed` tells that the server closed meanwhile.
std::string TlsHandshakeFailureText(ssl_st* ssl, int sslError, bool peerClosed);
// Why an open TLS session broke.
std::string TlsSessionFailureText(int sslError);
