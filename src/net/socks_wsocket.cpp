// The SOCKS 4, 4A and 5 client negotiation, run inside the socket's own notifications.
#include "net/socks_wsocket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "net/resolve.h"
#include "platform/ascii_text.h"

namespace {
// Names and numbers typed by a user lose every blank and control byte at both ends.
std::string Trim(std::string_view s) {
  return std::string(ascii::Trim(s, ascii::TTrimSet::tsSpaceAndControls));
}

void PutPort(std::string& out, std::uint16_t port) {
  out += static_cast<char>(port >> 8);
  out += static_cast<char>(port & 0xff);
}
}  // namespace

TCustomSocksWSocket::TCustomSocksWSocket() = default;

void TCustomSocksWSocket::ResetToDefaults() {
  TCustomWSocket::ResetToDefaults();
  socksState_ = socksData;
  socksServer_.clear();
  socksPort_.clear();
  socksServerAssigned_ = false;
  socksPortAssigned_ = false;
  socksLevel_.assign(1, '5');  // not from a literal: GCC 12 warns falsely (-Wrestrict)
  socksRcvdCnt_ = 0;
  socksLeftoverCnt_ = 0;
  socksLeftoverPos_ = 0;
}

// --- properties ------------------------------------------------------------------------------

void TCustomSocksWSocket::SetSocksLevel(const std::string& value) {
  if (state_ != wsClosed) {
    SignalError("Can't change socks level if not closed");
    return;
  }
  if (value != "4" && value != "5" && value != "4A" && value != "4a") {
    SignalError("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  socksLevel_ = value == "4a" ? "4A" : value;
}

void TCustomSocksWSocket::SetSocksPort(const std::string& value) {
  if (state_ != wsClosed) {
    SignalError("Can't change socks port if not closed");
    return;
  }
  socksPort_ = Trim(value);
  socksPortAssigned_ = !socksPort_.empty();
}

void TCustomSocksWSocket::SetSocksServer(const std::string& value) {
  if (state_ != wsClosed) {
    SignalError("Can't change socks server if not closed");
    return;
  }
  socksServer_ = Trim(value);
  socksServerAssigned_ = !socksServer_.empty();
}

// --- operations ------------------------------------------------------------------------------

void TCustomSocksWSocket::Listen() {
  if (socksServerAssigned_) {
    SignalError("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect() {
  if (!socksServerAssigned_) {
    TCustomWSocket::Connect();
    return;
  }
  if (!ascii::EqualsNoCase(protoStr_, "tcp")) {
    SignalError("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    if (!portResolved_) {
      sin_.sin_port = htons(WSocketResolvePort(socksPort_, protoStr_));
      portResolved_ = true;
    }
    if (!addrResolved_) {
      sin_.sin_addr = WSocketResolveHost(socksServer_);
      addrResolved_ = true;
    }
    socksDestPort_ = WSocketResolvePort(portStr_, protoStr_);
    socksState_ = socksNegociateMethods;
    socksRcvdCnt_ = 0;
    socksLeftoverCnt_ = 0;
    TCustomWSocket::Connect();
  } catch (const std::exception& e) {
    SignalError(std::string("connect: ") + e.what());
  }
}

std::int32_t TCustomSocksWSocket::RcvdCount() {
  if (socksLeftoverCnt_ > 0) return socksLeftoverCnt_;
  return TCustomWSocket::RcvdCount();
}

std::int32_t TCustomSocksWSocket::RecvRaw(void* buffer, std::int32_t size, int flags) {
  if (socksLeftoverCnt_ > 0) {
    // Bytes that came with the server's last reply are the first data of the session.
    std::int32_t n = std::min(size, socksLeftoverCnt_);
    if (n <= 0) return 0;
    std::memcpy(buffer, socksReplyBuf_ + socksLeftoverPos_, static_cast<std::size_t>(n));
    socksLeftoverPos_ += n;
    socksLeftoverCnt_ -= n;
    return n;
  }
  return TCustomWSocket::RecvRaw(buffer, size, flags);
}

// --- events ----------------------------------------------------------------------------------

void TCustomSocksWSocket::FireSocksConnected(int error) {
  if (OnSocksConnected) {
    TSessionConnected handler = OnSocksConnected;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomSocksWSocket::FireSocksError(std::int32_t error, const std::string& msg) {
  if (OnSocksError) {
    TSocksErrorEvent handler = OnSocksError;
    handler(this, error, msg);
  }
}

void TCustomSocksWSocket::FireSocksAuthState(TSocksAuthState authState) {
  if (OnSocksAuthState) {
    TSocksAuthStateEvent handler = OnSocksAuthState;
    handler(this, authState);
  }
}

void TCustomSocksWSocket::FireSessionConnected(int error) {
  if (socksState_ != socksNegociateMethods) {
    TCustomWSocket::FireSessionConnected(error);
    return;
  }
  auto alive = alive_;
  FireSocksConnected(error);
  if (!*alive) return;
  if (error != 0) {
    TCustomWSocket::FireSessionConnected(error);
    return;
  }
  if (socksLevel_[0] == '4') {
    SendSocksRequest();
    return;
  }
  socksAuthMethod_ = socksAuthentication_ == socksAuthenticateUsercode ? 2 : 0;
  const std::uint8_t request[3] = {5, 1, socksAuthMethod_};
  try {
    Send(request, sizeof request);
  } catch (...) {
  }
}

void TCustomSocksWSocket::FireSessionClosed(int error) {
  if (socksState_ == socksAuthenticate) {
    auto alive = alive_;
    FireSocksAuthState(socksAuthRejected);
    if (!*alive) return;
  }
  TCustomWSocket::FireSessionClosed(error);
}

void TCustomSocksWSocket::SendSocksRequest() {
  socksState_ = socksConnect;
  std::string request;
  if (socksLevel_[0] == '4') {
    request += '\x04';
    request += '\x01';
    PutPort(request, socksDestPort_);
    std::uint32_t address = 0x01000000;  // 0.0.0.1 in network order: the server resolves
    if (socksLevel_ == "4") {
      try {
        address = WSocketResolveHost(addrStr_);
      } catch (const ESocketException& e) {
        FireSocksError(20017, std::string(e.ClassName()) + " " + e.what());
        DoClose(true, 20017);
        return;
      }
    }
    request.append(reinterpret_cast<const char*>(&address), 4);
    request += socksUsercode_;
    request += '\0';
    if (socksLevel_ == "4A") {
      request += addrStr_;
      request += '\0';
    }
  } else {
    if (addrStr_.size() > 255) {
      // The name's length travels in one byte.
      FireSocksError(20017, "ESocketException Host name too long for the socks server");
      DoClose(true, 20017);
      return;
    }
    request += '\x05';
    request += '\x01';
    request += '\x00';
    request += '\x03';
    request += static_cast<char>(addrStr_.size());
    request += addrStr_;
    PutPort(request, socksDestPort_);
  }
  try {
    SendText(request);
  } catch (...) {
  }
}

void TCustomSocksWSocket::SendSocksCredentials() {
  socksState_ = socksAuthenticate;
  auto alive = alive_;
  FireSocksAuthState(socksAuthBegin);
  if (!*alive) return;
  if (socksUsercode_.size() > 255 || socksPassword_.size() > 255) {
    FailSocks(20015, "socks authentication failed");
    return;
  }
  std::string request;
  request += '\x01';
  request += static_cast<char>(socksUsercode_.size());
  request += socksUsercode_;
  request += static_cast<char>(socksPassword_.size());
  request += socksPassword_;
  try {
    SendText(request);
  } catch (...) {
  }
}

void TCustomSocksWSocket::FailSocks(std::int32_t code, const std::string& msg) {
  auto alive = alive_;
  FireSocksError(code, msg);
  if (!*alive) return;
  socksState_ = socksData;
  FireSessionConnected(code);
  if (!*alive) return;
  DoClose(true, code);
}

bool TCustomSocksWSocket::FireDataAvailable(int error) {
  if (socksState_ == socksData) return TCustomWSocket::FireDataAvailable(error);
  if (error != 0) {
    FailSocks(error, "data receive error");
    return false;
  }
  const bool level4 = socksLevel_[0] == '4';
  const std::int32_t limit = (socksState_ == socksConnect && level4) ? 8 : 127;
  std::int32_t n = Receive(socksReplyBuf_ + socksRcvdCnt_, limit - socksRcvdCnt_);
  if (n < 0) return true;
  socksRcvdCnt_ += n;
  const std::uint8_t* r = socksReplyBuf_;

  switch (socksState_) {
    case socksNegociateMethods: {
      if (level4) {
        FailSocks(20001, "TWSocket logic error");
        return true;
      }
      if (socksRcvdCnt_ < 2) return true;
      socksRcvdCnt_ = 0;
      if (r[0] != 5) {
        FailSocks(20002, "socks version error");
      } else if (r[1] == 0) {
        if (socksAuthMethod_ != 0) {
          auto alive = alive_;
          FireSocksAuthState(socksAuthNotNeeded);
          if (!*alive) return true;
        }
        SendSocksRequest();
      } else if (r[1] == 2) {
        SendSocksCredentials();
      } else {
        FailSocks(20003, "authentification method not acceptable");
      }
      return true;
    }
    case socksAuthenticate: {
      if (socksRcvdCnt_ < 1) return true;
      if (r[0] != 1) {
        FailSocks(20002, "socks version error");
      } else if (socksRcvdCnt_ > 2) {
        FailSocks(20001, "too much data availaible");
      } else if (socksRcvdCnt_ == 2) {
        if (r[1] != 0) {
          FailSocks(20015, "socks authentication failed");
        } else {
          socksRcvdCnt_ = 0;
          auto alive = alive_;
          FireSocksAuthState(socksAuthAccepted);
          if (!*alive) return true;
          SendSocksRequest();
        }
      }
      return true;
    }
    case socksConnect:
      return level4 ? HandleSocks4Reply() : HandleSocks5Reply();
    default:
      FailSocks(20013, "internal error");
      return false;
  }
}

bool TCustomSocksWSocket::HandleSocks4Reply() {
  if (socksRcvdCnt_ < 8) return true;
  socksRcvdCnt_ = 0;
  const std::uint8_t* r = socksReplyBuf_;
  if (r[0] != 0) {
    FailSocks(20002, "socks version error");
    return true;
  }
  switch (r[1]) {
    case 90: {
      socksState_ = socksData;
      auto alive = alive_;
      FireSessionConnected(0);
      if (!*alive || hSocket_ == INVALID_SOCKET) return true;
      return FireDataAvailable(0);
    }
    case 91:
      FailSocks(20016, "request rejected or failed");
      break;
    case 92:
      FailSocks(20008, "connection refused");
      break;
    case 93:
      FailSocks(20015, "authentification failed");
      break;
    default:
      FailSocks(20012, "unassigned error #" + std::to_string(r[1]));
  }
  return true;
}

bool TCustomSocksWSocket::HandleSocks5Reply() {
  const std::uint8_t* r = socksReplyBuf_;
  if (socksRcvdCnt_ >= 1 && r[0] != 5) {
    FailSocks(20002, "socks version error");
    return true;
  }
  if (socksRcvdCnt_ >= 2 && r[1] != 0) {
    static const char* const kReplyTexts[] = {
        "general SOCKS server failure", "connection not allowed by ruleset",
        "network unreachable",          "host unreachable",
        "connection refused",           "time to live expired",
        "command not supported",        "address type not supported"};
    if (r[1] >= 1 && r[1] <= 8)
      FailSocks(20003 + r[1], kReplyTexts[r[1] - 1]);
    else
      FailSocks(20012, "unassigned error #" + std::to_string(r[1]));
    return true;
  }
  if (socksRcvdCnt_ <= 4) return true;
  std::int32_t replyLen = r[3] == 1 ? 10 : r[3] == 3 ? 7 + r[4] : 5;
  if (replyLen > 127) {
    // A bound name this long cannot be held in the reply buffer; waiting would never end.
    FailSocks(20013, "internal error");
    return true;
  }
  if (socksRcvdCnt_ < replyLen) return true;
  std::int32_t pos;
  if (r[3] == 1) {
    std::uint32_t address;
    std::memcpy(&address, r + 4, 4);
    socksBoundAddr_ = DottedAddress(address);
    pos = 8;
  } else if (r[3] == 3) {
    socksBoundAddr_.assign(reinterpret_cast<const char*>(r + 5), r[4]);
    pos = 5 + r[4];
  } else {
    FailSocks(20011, "address type not supported");
    return true;
  }
  socksBoundPort_ = std::to_string((r[pos] << 8) | r[pos + 1]);
  pos += 2;
  socksState_ = socksData;
  std::int32_t received = socksRcvdCnt_;
  socksRcvdCnt_ = 0;
  auto alive = alive_;
  FireSessionConnected(0);
  if (!*alive || hSocket_ == INVALID_SOCKET) return true;
  if (received > pos) {
    socksLeftoverPos_ = pos;
    socksLeftoverCnt_ = received - pos;
  }
  return FireDataAvailable(0);
}
