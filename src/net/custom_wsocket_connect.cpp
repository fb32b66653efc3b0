// Opening a client socket: resolving what is not yet resolved, socket options, the
// non-blocking connect whose end arrives later as a connect notification.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/custom_wsocket.h"
#include "net/resolve.h"
#include "platform/socket_errors.h"

namespace {
int OsSocketType(std::int32_t socketType) {
  return socketType == 1 ? SOCK_STREAM : socketType == 2 ? SOCK_DGRAM : SOCK_RAW;
}
}  // namespace

void TCustomWSocket::Connect() {
  if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
    SignalError("Connect: Socket already in use");
    return;
  }
  if (!portAssigned_) {
    SignalError("Connect: No Port Specified");
    return;
  }
  if (!addrAssigned_) {
    SignalError("Connect: No IP Address Specified");
    return;
  }
  if (!protoAssigned_) {
    SignalError("Connect: No Protocol Specified");
    return;
  }
  try {
    if (!protoResolved_) {
      proto_ = WSocketResolveProto(protoStr_);
      socketType_ = proto_ == IPPROTO_TCP ? 1 : proto_ == IPPROTO_UDP ? 2 : 3;
      protoResolved_ = true;
    }
    if (!portResolved_) {
      portNum_ = WSocketResolvePort(portStr_, protoStr_);
      sin_.sin_port = htons(static_cast<std::uint16_t>(portNum_));
      portResolved_ = true;
    }
    if (!localPortResolved_) {
      localPortNum_ = WSocketResolvePort(localPortStr_, protoStr_);
      localPortResolved_ = true;
    }
    if (!addrResolved_) {
      sin_.sin_addr = WSocketResolveHost(addrStr_);
      addrResolved_ = true;
    }
  } catch (const std::exception& e) {
    SignalError(std::string("connect: ") + e.what());
    return;
  }

  auto alive = alive_;
  DeleteBufferedData();
  hSocket_ = SockCreate(AF_INET, OsSocketType(socketType_), proto_);
  if (hSocket_ == INVALID_SOCKET) {
    ReportSocketError("Connect (socket)");
    return;
  }
  closeInvoked_ = false;
  ChangeState(wsOpened);
  if (!*alive) return;

  if (socketType_ == 2) {
    if (!BindLocalChecked()) return;
    if (multiCast_ && multiCastIpTTL_ != 1) {
      unsigned char ttl = static_cast<unsigned char>(multiCastIpTTL_);
      if (SockSetOption(hSocket_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        ReportSocketError("setsockopt(IP_MULTICAST_TTL)");
        return;
      }
    }
    if (sin_.sin_addr == INADDR_BROADCAST) {
      int on = 1;
      if (SockSetOption(hSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        ReportSocketError("setsockopt(SO_BROADCAST)");
        return;
      }
    }
  } else {
    int on = 1;
    if (SockSetOption(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
      ReportSocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
    if (componentOptions_.count(wsoTcpNoDelay) &&
        SockSetOption(hSocket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
      ReportSocketError("setsockopt(IPPROTO_TCP, TCP_NODELAY)");
      return;
    }
    wsa::SetLastError(0);
    ApplyLinger();
    if (!*alive || hSocket_ == INVALID_SOCKET) return;
    if (wsa::GetLastError() != 0) return;  // reported through OnError
    if (SockSetOption(hSocket_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
      ReportSocketError("setsockopt(SO_KEEPALIVE)");
      return;
    }
    if ((localPortNum_ != 0 || localAddr_ != "0.0.0.0") && !BindLocalChecked()) return;
  }

  if (!RequestEvents(FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE)) {
    ReportSocketError("WSAAsyncSelect");
    return;
  }
  if (socketType_ == 2) {
    ChangeState(wsConnected);
    if (!*alive) return;
    FireSessionConnected(0);
    return;
  }
  if (SockConnect(hSocket_, &sin_, sizeof sin_) == 0 || wsa::GetLastError() == wsa::kWouldBlock) {
    ChangeState(wsConnecting);
    return;
  }
  lastError_ = wsa::GetLastError();
  ReportSocketError("Connect");
}

void TCustomWSocket::BindLocal() {
  BindLocalChecked();
}

bool TCustomWSocket::BindLocalChecked() {
  TSockAddrIn local{};
  try {
    local.sin_addr = WSocketResolveHost(localAddr_);
  } catch (const std::exception& e) {
    SignalError(e.what());
    return false;
  }
  local.sin_port = htons(static_cast<std::uint16_t>(localPortNum_));
  if (SockBind(hSocket_, &local, sizeof local) != 0) {
    SignalErrorFmt("winsock.bind failed, error #%d", wsa::GetLastError());
    return false;
  }
  TSockAddrIn bound{};
  std::size_t len = sizeof bound;
  if (SockGetName(hSocket_, &bound, &len) != 0) {
    SignalErrorFmt("winsock.getsockname failed, error #%d", wsa::GetLastError());
    return false;
  }
  localPortNum_ = ntohs(bound.sin_port);
  localPortStr_ = std::to_string(localPortNum_);
  return true;
}
