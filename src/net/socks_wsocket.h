#pragma once
// The SOCKS client layer: reaches Addr:Port through a SOCKS 4, 4A or 5 server, with optional
// username/password authentication for version 5. Without a SOCKS server the layer passes
// every call straight through. The negotiation runs inside the socket's own notifications and
// ends with an ordinary OnSessionConnected; bytes that come with the server's last reply are
// delivered as the first data.

#include <cstdint>
#include <string>

#include "net/custom_wsocket.h"

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };

enum TSocksAuthState {
  socksAuthBegin = 0,
  socksAuthAccepted = 1,
  socksAuthRejected = 2,
  socksAuthNotNeeded = 3,
};

using TSocksErrorEvent =
    std::function<void(TCustomWSocket* Sender, std::int32_t Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomWSocket* Sender, TSocksAuthState AuthState)>;

class TCustomSocksWSocket : public TCustomWSocket {
 public:
  TCustomSocksWSocket();

  void Connect() override;
  void Listen() override;
  std::int32_t RcvdCount() override;

  const std::string& SocksServer() const { return socksServer_; }
  virtual void SetSocksServer(const std::string& value);
  const std::string& SocksPort() const { return socksPort_; }
  virtual void SetSocksPort(const std::string& value);
  const std::string& SocksLevel() const { return socksLevel_; }
  void SetSocksLevel(const std::string& value);
  const std::string& SocksUsercode() const { return socksUsercode_; }
  void SetSocksUsercode(const std::string& value) { socksUsercode_ = value; }
  const std::string& SocksPassword() const { return socksPassword_; }
  void SetSocksPassword(const std::string& value) { socksPassword_ = value; }
  TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
  void SetSocksAuthentication(TSocksAuthentication value) { socksAuthentication_ = value; }
  const std::string& SocksBoundAddr() const { return socksBoundAddr_; }
  const std::string& SocksBoundPort() const { return socksBoundPort_; }

  TSocksErrorEvent OnSocksError;
  TSessionConnected OnSocksConnected;
  TSocksAuthStateEvent OnSocksAuthState;

 protected:
  // Negotiation phases.
  enum : std::uint8_t {
    socksData = 0,
    socksNegociateMethods = 1,
    socksAuthenticate = 2,
    socksConnect = 3,
  };

  virtual void FireSocksConnected(int error);
  virtual void FireSocksError(std::int32_t error, const std::string& msg);
  void FireSocksAuthState(TSocksAuthState authState);

  void ResetToDefaults() override;
  void FireSessionConnected(int error) override;
  void FireSessionClosed(int error) override;
  bool FireDataAvailable(int error) override;
  std::int32_t RecvRaw(void* buffer, std::int32_t size, int flags) override;

  void SendSocksRequest();
  void SendSocksCredentials();
  void FailSocks(std::int32_t code, const std::string& msg);
  bool HandleSocks4Reply();
  bool HandleSocks5Reply();
  bool SocksDataPhase() const { return socksState_ == socksData; }

  std::uint8_t socksState_ = socksData;
  std::string socksServer_;
  std::string socksLevel_ = "5";
  std::string socksPort_;
  bool socksPortAssigned_ = false;
  bool socksServerAssigned_ = false;
  std::string socksUsercode_;
  std::string socksPassword_;
  TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
  std::uint8_t socksAuthMethod_ = 0;
  std::string socksBoundAddr_;
  std::string socksBoundPort_;
  std::uint8_t socksReplyBuf_[128] = {};
  std::int32_t socksRcvdCnt_ = 0;
  std::int32_t socksLeftoverCnt_ = 0;
  std::int32_t socksLeftoverPos_ = 0;
  std::uint16_t socksDestPort_ = 0;
};
