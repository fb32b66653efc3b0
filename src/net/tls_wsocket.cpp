// The TLS layer, run on memory buffers: what the engine wants to send goes into the socket's
// own send queue, what the socket reads is fed into the engine.
#include "net/tls_wsocket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>

#include "net/socket_error_text.h"
#include "net/tls_trust.h"
#include "platform/socket_errors.h"

namespace {
// One record at its largest, with room for its header and padding.
constexpr int kReadPiece = 16 * 1024 + 512;
}  // namespace

TCustomTlsWSocket::TCustomTlsWSocket() = default;

TCustomTlsWSocket::~TCustomTlsWSocket() {
  FreeEngine();
}

void TCustomTlsWSocket::FreeEngine() {
  if (ssl_ != nullptr) SSL_free(ssl_);  // frees both memory buffers too
  ssl_ = nullptr;
  networkIn_ = nullptr;
  networkOut_ = nullptr;
  pendingPlain_.clear();
}

void TCustomTlsWSocket::ResetToDefaults() {
  TCustomSocksWSocket::ResetToDefaults();
  FreeEngine();
  firstBytes_.clear();
  tlsState_ = tlsOff;
  tlsOnConnect_ = false;
  handshakeFromConnect_ = false;
  peerClosed_ = false;
  closeNotifySent_ = false;
  tlsHostName_.clear();
  tlsCAFile_.clear();
  // TlsFailure and TlsVersion stay readable after the close; the next session clears them.
}

void TCustomTlsWSocket::Connect() {
  if (hSocket_ == INVALID_SOCKET || state_ == wsClosed) {
    FreeEngine();
    firstBytes_.clear();
    tlsState_ = tlsOff;
    handshakeFromConnect_ = false;
    peerClosed_ = false;
    closeNotifySent_ = false;
    tlsFailure_.clear();
    tlsVersion_.clear();
  }
  TCustomSocksWSocket::Connect();
}

// --- handshake -------------------------------------------------------------------------------

void TCustomTlsWSocket::StartTls() {
  if (tlsState_ != tlsOff || state_ != wsConnected || !SocksDataPhase()) {
    SignalError("StartTls: the session is not open or already uses TLS");
    return;
  }
  tlsFailure_.clear();
  tlsVersion_.clear();
  firstBytes_.clear();
  handshakeFromConnect_ = false;
  BeginHandshake();
}

void TCustomTlsWSocket::FireSessionConnected(int error) {
  // With a SOCKS server the connect notification only opens the tunnel; the handshake waits
  // for the tunnel's end, which calls here again in the data phase.
  if (tlsOnConnect_ && error == 0 && SocksDataPhase() && tlsState_ == tlsOff) {
    handshakeFromConnect_ = true;
    BeginHandshake();
    return;
  }
  TCustomSocksWSocket::FireSessionConnected(error);
}

void TCustomTlsWSocket::BeginHandshake() {
  if (tlsHostName_.empty()) {
    FailHandshake("TLS: no server name to check the certificate against");
    return;
  }
  std::string failure;
  SSL_CTX* ctx = NewTlsClientContext(tlsCAFile_, failure);
  if (ctx == nullptr) {
    FailHandshake(failure);
    return;
  }
  ssl_ = SSL_new(ctx);
  SSL_CTX_free(ctx);  // the session holds its own reference
  if (ssl_ == nullptr) {
    FailHandshake("TLS: the TLS library could not start");
    return;
  }
  networkIn_ = BIO_new(BIO_s_mem());
  networkOut_ = BIO_new(BIO_s_mem());
  if (networkIn_ == nullptr || networkOut_ == nullptr) {
    BIO_free(networkIn_);
    BIO_free(networkOut_);
    networkIn_ = networkOut_ = nullptr;
    FailHandshake("TLS: the TLS library could not start");
    return;
  }
  // An empty input buffer means "more to come", not the end of the stream.
  BIO_set_mem_eof_return(networkIn_, -1);
  SSL_set_bio(ssl_, networkIn_, networkOut_);
  SSL_set_connect_state(ssl_);
  if (!SetTlsPeerName(ssl_, tlsHostName_)) {
    FailHandshake("TLS: the server name \"" + tlsHostName_ + "\" cannot be checked");
    return;
  }
  tlsState_ = tlsHandshake;
  ContinueHandshake();
}

void TCustomTlsWSocket::ContinueHandshake() {
  auto alive = alive_;
  const TSocket handle = hSocket_;
  for (;;) {
    ERR_clear_error();
    int r = SSL_do_handshake(ssl_);
    int sslError = r == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_, r);
    FlushTlsOutput();
    if (!*alive || hSocket_ != handle || tlsState_ != tlsHandshake) return;
    if (r == 1) break;
    if (sslError != SSL_ERROR_WANT_READ) {
      FailHandshake(TlsHandshakeFailureText(ssl_, sslError, peerClosed_));
      return;
    }
    std::int32_t n = FeedFromBelow();
    if (n > 0 && !LooksLikeTls()) {
      FailHandshake("TLS: the server does not answer in TLS");
      return;
    }
    if (n > 0) continue;
    if (n == 0) {
      FailHandshake(TlsHandshakeFailureText(ssl_, sslError, true));
      return;
    }
    int err = wsa::GetLastError();
    if (err == wsa::kWouldBlock) return;  // the next read notification goes on from here
    FailHandshake("TLS: the connection failed during the handshake (" + SocketErrorText(err) + ")");
    return;
  }
  // With peer checking on the handshake cannot succeed unverified; this guards the rule.
  if (SSL_get_verify_result(ssl_) != X509_V_OK || SSL_get0_peer_certificate(ssl_) == nullptr) {
    FailHandshake(TlsHandshakeFailureText(ssl_, SSL_ERROR_SSL, false));
    return;
  }
  tlsState_ = tlsOpen;
  tlsVersion_ = SSL_get_version(ssl_);
  if (!pendingPlain_.empty()) {
    std::string held;
    held.swap(pendingPlain_);
    Send(held.data(), static_cast<std::int32_t>(held.size()));
    if (!*alive || hSocket_ != handle) return;
  }
  // Data may have come with the handshake's last records: no notification announces it.
  ScheduleResume();
  if (handshakeFromConnect_)
    TCustomSocksWSocket::FireSessionConnected(0);
  else
    FireTlsDone(0);
}

void TCustomTlsWSocket::FailHandshake(const std::string& reason) {
  auto alive = alive_;
  const TSocket handle = hSocket_;
  tlsFailure_ = reason;
  // The alert that tells the server why goes out before the close.
  if (ssl_ != nullptr) FlushTlsOutput();
  if (!*alive) return;
  tlsState_ = tlsFailed;
  pendingPlain_.clear();
  if (handshakeFromConnect_)
    TCustomSocksWSocket::FireSessionConnected(TlsErrorCode);
  else
    FireTlsDone(TlsErrorCode);
  if (!*alive || hSocket_ != handle || hSocket_ == INVALID_SOCKET) return;
  DoClose(true, TlsErrorCode);
}

void TCustomTlsWSocket::BreakSession(const std::string& reason) {
  if (tlsState_ == tlsFailed) return;
  tlsFailure_ = reason;
  tlsState_ = tlsFailed;
  pendingPlain_.clear();
  CloseLater();
}

void TCustomTlsWSocket::FireTlsDone(int error) {
  if (OnTlsDone) {
    TTlsDoneEvent handler = OnTlsDone;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

// --- moving records ------------------------------------------------------------------------

void TCustomTlsWSocket::FlushTlsOutput() {
  if (networkOut_ == nullptr) return;
  std::size_t pending = BIO_ctrl_pending(networkOut_);
  if (pending == 0) return;
  std::string records(pending, '\0');
  int n = BIO_read(networkOut_, records.data(), static_cast<int>(pending));
  if (n <= 0 || hSocket_ == INVALID_SOCKET || state_ != wsConnected) return;
  // Below this layer: the records are sent as they are, through the ordinary send queue.
  TCustomSocksWSocket::Send(records.data(), n);
}

std::int32_t TCustomTlsWSocket::FeedFromBelow() {
  char piece[kReadPiece];
  std::int32_t n = TCustomSocksWSocket::RecvRaw(piece, sizeof piece, 0);
  if (n > 0) {
    if (firstBytes_.size() < 2)
      firstBytes_.append(piece, std::min<std::size_t>(2 - firstBytes_.size(), n));
    BIO_write(networkIn_, piece, n);
  } else if (n == 0) {
    peerClosed_ = true;
  }
  return n;
}

bool TCustomTlsWSocket::LooksLikeTls() {
  // A server that speaks plain text (a greeting) would otherwise be waited for until the
  // record length its first letters spell has arrived: a record starts with the type of a
  // handshake message or an alert, then major version 3.
  if (!firstBytes_.empty() && firstBytes_[0] != 0x16 && firstBytes_[0] != 0x15) return false;
  if (firstBytes_.size() > 1 && firstBytes_[1] != 0x03) return false;
  return true;
}

std::int32_t TCustomTlsWSocket::PrepareData() {
  auto alive = alive_;
  while (tlsState_ == tlsOpen) {
    int held = SSL_pending(ssl_);
    if (held > 0) return held;
    char probe;
    ERR_clear_error();
    int r = SSL_peek(ssl_, &probe, 1);
    int sslError = r > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl_, r);
    // Records the engine answers by itself (a key update) go out at once.
    FlushTlsOutput();
    if (!*alive || tlsState_ != tlsOpen) return 0;
    if (r > 0) {
      held = SSL_pending(ssl_);
      return held > 0 ? held : 1;
    }
    if (sslError == SSL_ERROR_WANT_READ) {
      if (FeedFromBelow() > 0) continue;
      return 0;
    }
    if (sslError == SSL_ERROR_ZERO_RETURN) {
      peerClosed_ = true;
      return 0;
    }
    BreakSession(TlsSessionFailureText(sslError));
    return 0;
  }
  return 0;
}

bool TCustomTlsWSocket::HoldsUndelivered() {
  if (tlsState_ != tlsOpen || ssl_ == nullptr) return false;
  if (SSL_pending(ssl_) > 0) return true;
  // A whole record waiting in the input buffer decrypts without reading anything more.
  char* data = nullptr;
  long held = BIO_get_mem_data(networkIn_, &data);
  if (held < 5 || data == nullptr) return false;
  long length = (static_cast<unsigned char>(data[3]) << 8) | static_cast<unsigned char>(data[4]);
  return held >= 5 + length;
}

void TCustomTlsWSocket::ScheduleResume() {
  if (resumePosted_ || notifyWindow_ == 0 || !HoldsUndelivered()) return;
  resumePosted_ = true;
  PostMessage(notifyWindow_, TlsResumeMessage, 0, 0);
}

void TCustomTlsWSocket::HandleResume() {
  resumePosted_ = false;
  if (paused_ || tlsState_ != tlsOpen || hSocket_ == INVALID_SOCKET) return;
  DeliverHeldData();
}

void TCustomTlsWSocket::DeliverHeldData() {
  auto alive = alive_;
  const TSocket handle = hSocket_;
  while (tlsState_ == tlsOpen && hSocket_ == handle) {
    if (PrepareData() <= 0) return;
    if (!*alive || hSocket_ != handle) return;
    const std::uint64_t before = delivered_;
    // From the top of the chain, so that line mode collects these bytes like any others.
    if (!FireDataAvailable(0)) {
      if (!*alive || hSocket_ != handle) return;
      char discard[1024];
      RecvRaw(discard, sizeof discard, 0);
    }
    if (!*alive || hSocket_ != handle) return;
    // A handler that takes nothing keeps its bytes until it reads again.
    if (delivered_ == before) return;
  }
}

// --- the chain's calls ---------------------------------------------------------------------

void TCustomTlsWSocket::DispatchNotification(const TMessage& msg) {
  auto alive = alive_;
  if (msg.msg == TlsResumeMessage) {
    try {
      HandleResume();
    } catch (const std::exception& e) {
      if (*alive) HandleBackgroundError(e);
    }
    return;
  }
  // The close is reported after the last decrypted byte: what the engine holds, and what
  // still waits below, goes to the data handlers first.
  if (msg.msg == SocketEventMessage && tlsState_ == tlsOpen && hSocket_ != INVALID_SOCKET &&
      msg.wParam == SockSelectTag(hSocket_) && !paused_ &&
      (SelectEvent(msg.lParam) & FD_CLOSE) != 0 && state_ != wsConnecting) {
    try {
      DeliverHeldData();
    } catch (const std::exception& e) {
      if (*alive) HandleBackgroundError(e);
    }
    if (!*alive) return;
  }
  TCustomSocksWSocket::DispatchNotification(msg);
}

bool TCustomTlsWSocket::FireDataAvailable(int error) {
  if (tlsState_ == tlsOff || !SocksDataPhase())
    return TCustomSocksWSocket::FireDataAvailable(error);
  if (tlsState_ == tlsHandshake) {
    // Handshake records: nothing for the data handlers.
    if (error != 0) {
      FailHandshake("TLS: the connection failed during the handshake (" + SocketErrorText(error) +
                    ")");
    } else {
      ContinueHandshake();
    }
    return true;
  }
  // A broken session takes nothing more; its close is on the way.
  if (tlsState_ == tlsFailed) return false;
  auto alive = alive_;
  if (PrepareData() <= 0) return true;
  if (!*alive) return true;
  bool handled = TCustomSocksWSocket::FireDataAvailable(error);
  if (!*alive) return true;
  ScheduleResume();
  return handled;
}

std::int32_t TCustomTlsWSocket::RecvRaw(void* buffer, std::int32_t size, int flags) {
  if (tlsState_ == tlsOff || !SocksDataPhase() || size <= 0)
    return TCustomSocksWSocket::RecvRaw(buffer, size, flags);
  if (tlsState_ != tlsOpen) {
    // Handshake records are no data, and a broken session has none left.
    wsa::SetLastError(wsa::kWouldBlock);
    return -1;
  }
  for (;;) {
    ERR_clear_error();
    int r = SSL_read(ssl_, buffer, size);
    int sslError = r > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl_, r);
    if (r > 0) {
      delivered_ += static_cast<std::uint64_t>(r);
      ScheduleResume();
      return r;
    }
    if (sslError == SSL_ERROR_WANT_READ) {
      std::int32_t n = FeedFromBelow();
      if (n > 0) continue;
      return n;  // 0: the peer closed; -1: nothing yet, the system error kept
    }
    if (sslError == SSL_ERROR_ZERO_RETURN) {
      peerClosed_ = true;
      return 0;
    }
    BreakSession(TlsSessionFailureText(sslError));
    wsa::SetLastError(wsa::kWouldBlock);
    return -1;
  }
}

std::int32_t TCustomTlsWSocket::RcvdCount() {
  if (tlsState_ == tlsOpen && ssl_ != nullptr) {
    int held = SSL_pending(ssl_);
    if (held > 0) return held;
  }
  return TCustomSocksWSocket::RcvdCount();
}

std::int32_t TCustomTlsWSocket::Send(const void* data, std::int32_t len) {
  if (tlsState_ == tlsOff) return TCustomSocksWSocket::Send(data, len);
  if (state_ != wsConnected || tlsState_ == tlsFailed) {
    wsa::SetLastError(wsa::kNotConnected);
    ReportSocketError("Send");
    return -1;
  }
  if (len <= 0) return 0;
  if (tlsState_ == tlsHandshake) {
    // Sent once the session is encrypted: nothing crosses in clear.
    pendingPlain_.append(static_cast<const char*>(data), static_cast<std::size_t>(len));
    return len;
  }
  ERR_clear_error();
  std::size_t written = 0;
  if (SSL_write_ex(ssl_, data, static_cast<std::size_t>(len), &written) != 1) {
    int sslError = SSL_get_error(ssl_, 0);
    BreakSession(TlsSessionFailureText(sslError));
    wsa::SetLastError(wsa::kNotConnected);
    ReportSocketError("Send");
    return -1;
  }
  FlushTlsOutput();
  return len;
}

void TCustomTlsWSocket::FireDataSent(int error) {
  // The handshake's own records are no data the user sent.
  if (tlsState_ == tlsHandshake) return;
  TCustomSocksWSocket::FireDataSent(error);
}

void TCustomTlsWSocket::ResumeEvents() {
  TCustomSocksWSocket::ResumeEvents();
  ScheduleResume();
}

void TCustomTlsWSocket::DoClose(bool shut, int error) {
  // An orderly close tells the server that no more data follows, before the socket goes.
  if (shut && tlsState_ == tlsOpen && !closeNotifySent_ && !peerClosed_ &&
      hSocket_ != INVALID_SOCKET && state_ == wsConnected) {
    closeNotifySent_ = true;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    auto alive = alive_;
    FlushTlsOutput();
    if (!*alive) return;
  }
  TCustomSocksWSocket::DoClose(shut, error);
}
