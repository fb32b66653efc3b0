// The server side: listening, taking a waiting connection, adopting a handle as the session.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/custom_wsocket.h"
#include "net/resolve.h"
#include "platform/socket_errors.h"

void TCustomWSocket::Listen() {
  auto fail = [this](const char* what) {
    wsa::SetLastError(wsa::kInvalidArgument);
    ReportSocketError(what);
  };
  if (!portAssigned_) return fail("listen: port not assigned");
  if (!protoAssigned_) return fail("listen: protocol not assigned");
  if (!addrAssigned_) return fail("listen: address not assigned");
  // Listening again while a handle is held would leak it; the caller closes first.
  if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
    SignalError("listen: Socket already in use");
    return;
  }
  try {
    if (!protoResolved_) {
      proto_ = WSocketResolveProto(protoStr_);
      socketType_ = proto_ == IPPROTO_UDP ? 2 : 1;
      protoResolved_ = true;
    }
    if (!portResolved_) {
      portNum_ = WSocketResolvePort(portStr_, protoStr_);
      sin_.sin_port = htons(static_cast<std::uint16_t>(portNum_));
      portResolved_ = true;
    }
    if (!addrResolved_) {
      sin_.sin_addr = WSocketResolveHost(addrStr_);
      addrResolved_ = true;
    }
  } catch (const std::exception& e) {
    SignalError(std::string("listen: ") + e.what());
    return;
  }

  auto alive = alive_;
  DeleteBufferedData();
  hSocket_ = SockCreate(AF_INET, socketType_ == 2 ? SOCK_DGRAM : SOCK_STREAM, proto_);
  if (hSocket_ == INVALID_SOCKET) {
    ReportSocketError("socket");
    return;
  }
  closeInvoked_ = false;
  // Linux refuses to bind a stream port again while a connection accepted on it winds down
  // (TIME_WAIT after the proxy's own close). Address reuse lifts only that; a second listener
  // on the same port is still refused.
  if (reuseAddr_ && (socketType_ == 2 || socketType_ == 1)) {
    int on = 1;
    if (SockSetOption(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
      ReportSocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
  }
  if (SockBind(hSocket_, &sin_, sizeof sin_) != 0) {
    // The handle is released before the failure is signalled: the signal may leave Listen.
    int err = wsa::GetLastError();
    SockClose(hSocket_);
    hSocket_ = INVALID_SOCKET;
    wsa::SetLastError(err);
    ReportSocketError("Bind");
    return;
  }
  ChangeState(wsBound);
  if (!*alive) return;
  if (socketType_ == 2 && multiCast_) {
    ip_mreq group{};
    group.imr_multiaddr.s_addr = InetAddr(multiCastAddrStr_);
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    if (SockSetOption(hSocket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
      ReportSocketError("setsockopt(IP MULTICAST)");
      return;
    }
  }
  if (socketType_ == 1) {
    if (SockListen(hSocket_, 5) != 0) {
      ReportSocketError("Listen");
      return;
    }
    ChangeState(wsListening);
    if (!*alive) return;
  } else if (socketType_ == 2) {
    ChangeState(wsListening);
    if (!*alive) return;
    ChangeState(wsConnected);
    if (!*alive) return;
    FireSessionConnected(0);
    if (!*alive || hSocket_ == INVALID_SOCKET) return;
  } else {
    ReportSocketError("Listen: unexpected protocol.");
    return;
  }
  if (!RequestEvents(FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE))
    ReportSocketError("WSAASyncSelect");
}

TSocket TCustomWSocket::Accept() {
  if (state_ != wsListening) {
    wsa::SetLastError(wsa::kInvalidArgument);
    ReportSocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  std::size_t len = sizeof sin_;
  acceptedHandle_ = SockAccept(hSocket_, &sin_, &len);
  if (acceptedHandle_ == INVALID_SOCKET) {
    ReportSocketError("Accept");
    return INVALID_SOCKET;
  }
  return acceptedHandle_;
}

void TCustomWSocket::Dup(TSocket newHandle) {
  if (newHandle == 0 || newHandle == INVALID_SOCKET) {
    wsa::SetLastError(wsa::kInvalidArgument);
    ReportSocketError("Dup");
    return;
  }
  auto alive = alive_;
  if (state_ != wsClosed) {
    if (hSocket_ != INVALID_SOCKET) {
      TSocket old = hSocket_;
      hSocket_ = INVALID_SOCKET;
      if (SockClose(old) != 0) {
        // The handle offered is nobody's once the adoption fails: close it, or it leaks.
        const int closeError = wsa::GetLastError();
        SockClose(newHandle);
        wsa::SetLastError(closeError);
        ReportSocketError("Dup (closesocket)");
        return;
      }
    }
    ChangeState(wsClosed);
    if (!*alive) return;
  }
  hSocket_ = newHandle;
  closeInvoked_ = false;
  // An adopted session answers in small pieces (a reply line, a mail, its end line): without
  // this each piece would wait for the peer's acknowledgement of the one before.
  // A handle that refuses the option (not a TCP socket) is still adopted: the option only
  // speeds the session up.
  if (componentOptions_.count(wsoTcpNoDelay)) {
    int on = 1;
    SockSetOption(hSocket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  wsa::SetLastError(0);
  ApplyLinger();
  if (!*alive || hSocket_ != newHandle) return;
  if (!RequestEvents(FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE)) {
    ReportSocketError("WSAAsyncSelect");
    return;
  }
  ChangeState(wsConnected);
}
