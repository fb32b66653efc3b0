#pragma once
// The TLS layer: encrypts the session above the SOCKS tunnel and below line mode. Inactive
// unless asked for, so a plain session passes every call straight through.
//
// TlsOnConnect asks for the handshake as soon as the session (or the SOCKS tunnel) stands;
// OnSessionConnected then fires only once the handshake has ended, with 0 or TlsErrorCode.
// StartTls begins the handshake on a session already open (a protocol's STARTTLS command);
// its end is reported through OnTlsDone. The server's certificate must chain to the system's
// trusted authorities, or to those of TlsCAFile, and match TlsHostName (a host name, also sent
// as the server name, or an IP address). TLS 1.2 is the least version accepted. A failure
// closes the session; TlsFailure then says why in plain words.
//
// The engine works on memory buffers fed by the socket's own reads and writes: handshake
// records never reach the data handlers, decrypted bytes still held are delivered without a
// new notification from the system, and the close is reported after the last of them.

#include <cstdint>
#include <string>

#include "net/socks_wsocket.h"

struct ssl_st;
struct bio_st;

// The error number of a failed handshake or a broken TLS session.
constexpr int TlsErrorCode = 20100;
// Posted to a socket's own target when decrypted bytes wait that no notification announces.
constexpr unsigned TlsResumeMessage = WM_USER + 21;

using TTlsDoneEvent = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;

class TCustomTlsWSocket : public TCustomSocksWSocket {
 public:
  TCustomTlsWSocket();
  ~TCustomTlsWSocket() override;

  void Connect() override;
  std::int32_t Send(const void* data, std::int32_t len) override;
  std::int32_t RcvdCount() override;
  void ResumeEvents() override;
  // Begins the handshake on the open session. Its end comes through OnTlsDone, at once when
  // it cannot even begin (the extra trust file unreadable, no name to check).
  void StartTls();

  bool TlsOnConnect() const { return tlsOnConnect_; }
  void SetTlsOnConnect(bool value) { tlsOnConnect_ = value; }
  const std::string& TlsHostName() const { return tlsHostName_; }
  void SetTlsHostName(const std::string& value) { tlsHostName_ = value; }
  const std::string& TlsCAFile() const { return tlsCAFile_; }
  void SetTlsCAFile(const std::string& value) { tlsCAFile_ = value; }
  // The session is encrypted (the handshake has ended successfully).
  bool TlsEstablished() const { return tlsState_ == tlsOpen; }
  // Why the last handshake or TLS session failed, "" when it did not.
  const std::string& TlsFailure() const { return tlsFailure_; }
  // The protocol version agreed, such as "TLSv1.3"; "" before the handshake ended.
  const std::string& TlsVersion() const { return tlsVersion_; }

  TTlsDoneEvent OnTlsDone;

 protected:
  enum TTlsState : std::uint8_t { tlsOff, tlsHandshake, tlsOpen, tlsFailed };

  void ResetToDefaults() override;
  void DispatchNotification(const TMessage& msg) override;
  void DoClose(bool shut, int error) override;
  bool FireDataAvailable(int error) override;
  void FireSessionConnected(int error) override;
  void FireDataSent(int error) override;
  std::int32_t RecvRaw(void* buffer, std::int32_t size, int flags) override;
  virtual void FireTlsDone(int error);

  // Line mode may collect lines only once the bytes below it are the session's data.
  bool TransportDataPhase() const { return SocksDataPhase() && tlsState_ != tlsHandshake; }
  // Offers the decrypted bytes still held to the data handlers, before the close is reported.
  void DeliverHeldData();

 private:
  void BeginHandshake();
  void ContinueHandshake();
  // Ends a handshake that failed: the outcome is reported, then the session closed.
  void FailHandshake(const std::string& reason);
  // An open session that cannot go on is closed once the running handler has returned.
  void BreakSession(const std::string& reason);
  // Moves what the engine has to send into the socket's send queue.
  void FlushTlsOutput();
  // Reads one piece from below into the engine. >0 bytes, 0 peer closed, <0 nothing (the
  // system error is kept).
  std::int32_t FeedFromBelow();
  // Whether the server's first bytes can begin a TLS record.
  bool LooksLikeTls();
  // Lets the engine process what it holds until decrypted bytes are ready; their count, 0
  // when none.
  std::int32_t PrepareData();
  bool HoldsUndelivered();
  void ScheduleResume();
  void HandleResume();
  void FreeEngine();

  ssl_st* ssl_ = nullptr;
  bio_st* networkIn_ = nullptr;   // records read from the peer, owned by ssl_
  bio_st* networkOut_ = nullptr;  // records to send, owned by ssl_
  TTlsState tlsState_ = tlsOff;
  bool tlsOnConnect_ = false;
  bool handshakeFromConnect_ = false;
  bool peerClosed_ = false;
  bool closeNotifySent_ = false;
  bool resumePosted_ = false;
  std::uint64_t delivered_ = 0;  // decrypted bytes handed out so far
  std::string pendingPlain_;     // sent before the handshake ended
  std::string firstBytes_;       // the server's first two bytes, to tell TLS from plain text
  std::string tlsHostName_;
  std::string tlsCAFile_;
  std::string tlsFailure_;
  std::string tlsVersion_;
};
