// Life cycle, properties, closing and message pumping of the socket object.
#include "net/custom_wsocket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>

#include "platform/application.h"
#include "platform/ascii_text.h"
#include "platform/socket_errors.h"

namespace {
// Atomic although every socket of the program lives on the main thread: a socket on another
// thread's loop must not tear the count.
std::atomic<int> instanceCount{0};

// Names and numbers typed by a user lose every blank and control byte at both ends.
std::string Trim(std::string_view s) {
  return std::string(ascii::Trim(s, ascii::TTrimSet::tsSpaceAndControls));
}
}  // namespace

int WSocketInstanceCount() {
  return instanceCount;
}

TCustomWSocket::TCustomWSocket() {
  CreateNotifyWindow();
  sendBlockSize_ = 1460;
  multiCastIpTTL_ = 1;
  ResetToDefaults();
  ++instanceCount;
}

TCustomWSocket::~TCustomWSocket() {
  // Freed by another hand while its release was pending: the self-ownership must not free it
  // a second time.
  static_cast<void>(releasing_.release());
  destroying_ = true;
  try {
    CancelLookup();
  } catch (...) {
  }
  // No event fires while the object is destroyed: the handlers' owners may be gone already.
  OnSessionAvailable = nullptr;
  OnSessionConnected = nullptr;
  OnSessionClosed = nullptr;
  OnChangeState = nullptr;
  OnDataAvailable = nullptr;
  OnDataSent = nullptr;
  OnSendData = nullptr;
  OnDnsLookupDone = nullptr;
  OnError = nullptr;
  OnBgException = nullptr;
  if (state_ != wsClosed) {
    try {
      Close();
    } catch (...) {
    }
  }
  if (hSocket_ != INVALID_SOCKET) {
    SockClose(hSocket_);
    hSocket_ = INVALID_SOCKET;
  }
  if (--instanceCount < 1) instanceCount = 0;
  DeleteBufferedData();
  DestroyNotifyWindow();
  *alive_ = false;
}

void TCustomWSocket::CreateNotifyWindow() {
  notifyWindow_ = TMessageLoop::Current().AllocateTarget(
      [this](const TMessage& m) { DispatchNotification(m); });
  if (notifyWindow_ == 0) throw ESocketException("Cannot create a hidden window for TWSocket");
}

void TCustomWSocket::DestroyNotifyWindow() {
  if (notifyWindow_ != 0) TMessageLoop::Current().ReleaseTarget(notifyWindow_);
  notifyWindow_ = 0;
}

void TCustomWSocket::ResetToDefaults() {
  sin_ = TSockAddrIn{};
  addrFamily_ = 2;
  portAssigned_ = false;
  addrAssigned_ = false;
  addrResolved_ = false;
  portResolved_ = false;
  protoResolved_ = false;
  localPortResolved_ = false;
  protoAssigned_ = true;
  proto_ = 6;
  protoStr_ = "tcp";
  socketType_ = 1;
  localPortStr_.assign(1, '0');  // not from a literal: GCC 12 warns falsely (-Wrestrict)
  localAddr_ = "0.0.0.0";
  lingerOnOff_ = wsLingerOn;
  lingerTimeout_ = 0;
  hSocket_ = INVALID_SOCKET;
  selectEvent_ = 0;
  state_ = wsClosed;
  sendComplete_ = true;
  paused_ = false;
  readCount_ = 0;
  closeInvoked_ = false;
  flushTimeout_ = 60;
}

// --- properties ------------------------------------------------------------------------------

void TCustomWSocket::SetAddr(const std::string& value) {
  std::string trimmed = Trim(value);
  if (addrAssigned_ && trimmed == addrStr_) return;
  if (state_ != wsClosed) {
    SignalError("Cannot change Addr if not closed");
    return;
  }
  addrStr_ = trimmed;
  addrAssigned_ = !addrStr_.empty();
  addrResolved_ = false;
}

void TCustomWSocket::SetPort(const std::string& value) {
  std::string trimmed = Trim(value);
  if (portAssigned_ && trimmed == portStr_) return;
  if (state_ != wsClosed) {
    SignalError("Cannot change Port if not closed");
    return;
  }
  portStr_ = trimmed;
  portAssigned_ = !portStr_.empty();
  portResolved_ = false;
}

void TCustomWSocket::SetProto(const std::string& value) {
  std::string trimmed = Trim(value);
  if (protoAssigned_ && trimmed == protoStr_) return;
  if (state_ != wsClosed) {
    SignalError("Cannot change Proto if not closed");
    return;
  }
  protoStr_ = trimmed;
  protoAssigned_ = !protoStr_.empty();
  protoResolved_ = false;
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  if (state_ != wsClosed) {
    SignalError("Cannot change LocalPort if not closed");
    return;
  }
  localPortStr_ = value;
  localPortResolved_ = false;
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
  if (state_ != wsClosed) {
    SignalError("Cannot change LocalAddr if not closed");
    return;
  }
  localAddr_ = value.empty() ? "0.0.0.0" : value;
}

TSocketSendFlags TCustomWSocket::SendFlags() {
  if (sendFlags_ == 0) return wsSendNormal;
  if (sendFlags_ == 1) return wsSendUrgent;
  SignalError("Invalid internal SendFlags");
  return wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags value) {
  switch (value) {
    case wsSendNormal:
      sendFlags_ = 0;
      break;
    case wsSendUrgent:
      sendFlags_ = 1;
      break;
    default:
      SignalError("Invalid SendFlags");
  }
}

std::int64_t TCustomWSocket::SendQueueBytes() const {
  std::int64_t total = 0;
  for (const auto& b : bufList_) total += b->Pending().second;
  return total;
}

// --- state -----------------------------------------------------------------------------------

void TCustomWSocket::ChangeState(TSocketState newState) {
  TSocketState oldState = state_;
  state_ = newState;
  FireChangeState(oldState, newState);
}

bool TCustomWSocket::RequestEvents(std::uint32_t mask) {
  selectEvent_ = mask;
  return SockAsyncSelect(hSocket_, notifyWindow_, SocketEventMessage, mask) == 0;
}

void TCustomWSocket::PauseEvents() {
  paused_ = true;
  if (hSocket_ != INVALID_SOCKET) SockAsyncSelect(hSocket_, notifyWindow_, SocketEventMessage, 0);
}

void TCustomWSocket::ResumeEvents() {
  paused_ = false;
  if (hSocket_ != INVALID_SOCKET)
    SockAsyncSelect(hSocket_, notifyWindow_, SocketEventMessage, selectEvent_);
}

// --- closing ---------------------------------------------------------------------------------

void TCustomWSocket::Close() {
  DoClose(true, 0);
}

void TCustomWSocket::CloseLater() {
  PostMessage(notifyWindow_, CloseLaterMessage, 0, 0);
}

void TCustomWSocket::ReleaseLater(std::unique_ptr<TCustomWSocket> socket) {
  if (!socket) return;
  TCustomWSocket* self = socket.get();
  self->releasing_ = std::move(socket);
  PostMessage(self->notifyWindow_, ReleaseLaterMessage, 0, 0);
}

void TCustomWSocket::Abort() {
  auto alive = alive_;
  CancelLookup();
  if (!*alive) return;
  DeleteBufferedData();
  if (state_ == wsConnected && proto_ == 6) {
    lingerOnOff_ = wsLingerOff;
    ApplyLinger();
    if (!*alive) return;
  }
  DoClose(false, 0);
}

void TCustomWSocket::Shutdown(std::int32_t how) {
  if (hSocket_ != INVALID_SOCKET) SockShutdown(hSocket_, how);
}

void TCustomWSocket::DoClose(bool shut, int error) {
  auto alive = alive_;
  if (hSocket_ == INVALID_SOCKET) {
    if (state_ != wsClosed) {
      ChangeState(wsClosed);
      if (!*alive) return;
      ResetToDefaults();
    }
    return;
  }
  if (state_ == wsClosed) return;
  if (shut) Shutdown(1);
  // The descriptor is released even when close reports an error, so it is never closed twice.
  TSocket handle = hSocket_;
  hSocket_ = INVALID_SOCKET;
  if (SockClose(handle) != 0 && wsa::GetLastError() != 10093) {
    ReportSocketError("Disconnect (closesocket)");
    return;
  }
  ChangeState(wsClosed);
  if (!*alive) return;
  if (!destroying_ && !closeInvoked_) {
    closeInvoked_ = true;
    FireSessionClosed(error);
    if (!*alive) return;
  }
  // A handler of the close may already have opened a new session on this object; that
  // session keeps its settings.
  if (hSocket_ != INVALID_SOCKET || state_ != wsClosed) return;
  try {
    ResetToDefaults();
  } catch (...) {
  }
}

void TCustomWSocket::ApplyLinger() {
  if (lingerOnOff_ == wsLingerNoSet) return;
  if (hSocket_ == INVALID_SOCKET) {
    SignalError("Cannot set linger option at this time");
    return;
  }
  linger l{};
  l.l_onoff = lingerOnOff_ == wsLingerOn ? 1 : 0;
  l.l_linger = lingerTimeout_ < 0 ? 0 : lingerTimeout_ > 65535 ? 65535 : lingerTimeout_;
  if (SockSetOption(hSocket_, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
    ReportSocketError("setsockopt(SO_LINGER)");
}

void TCustomWSocket::WaitUntilClosed() {
  auto alive = alive_;
  while (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
    PumpMessages();
    if (!*alive || hSocket_ == INVALID_SOCKET) return;
    unsigned long ready = 0;
    if (SockBytesReady(hSocket_, &ready) != 0) return;
    if (ready > 0) {
      FireDataAvailable(0);
      if (!*alive || hSocket_ == INVALID_SOCKET) return;
    }
    wsa::SetLastError(0);
    char dummy;
    if (RecvRaw(&dummy, 0, 0) < 0) {
      lastError_ = wsa::GetLastError();
      if (lastError_ != wsa::kWouldBlock) return;
    }
    PumpMessages();
    if (!*alive) return;
  }
}

// --- receiving -------------------------------------------------------------------------------

std::int32_t TCustomWSocket::RecvRaw(void* buffer, std::int32_t size, int flags) {
  return SockRecv(hSocket_, buffer, size < 0 ? 0 : static_cast<std::size_t>(size), flags);
}

std::int32_t TCustomWSocket::RecvRawFrom(void* buffer, std::int32_t size, int flags,
                                         TSockAddrIn& from, std::int32_t& fromLen) {
  std::size_t len = fromLen < 0 ? 0 : static_cast<std::size_t>(fromLen);
  if (len > sizeof from) len = sizeof from;
  int n = SockRecvFrom(hSocket_, buffer, size < 0 ? 0 : static_cast<std::size_t>(size), flags,
                       &from, &len);
  fromLen = static_cast<std::int32_t>(len);
  return n;
}

std::int32_t TCustomWSocket::Receive(void* buffer, std::int32_t size) {
  std::int32_t n = RecvRaw(buffer, size, 0);
  if (n < 0)
    lastError_ = wsa::GetLastError();
  else
    readCount_ += n;
  return n;
}

std::string TCustomWSocket::ReceiveText() {
  std::int32_t count = RcvdCount();
  if (count < 0) return std::string();
  if (count == 0) count = 255;
  std::string text(static_cast<std::size_t>(count), '\0');
  std::int32_t n = Receive(text.data(), count);
  if (n <= 0) return std::string();
  text.resize(static_cast<std::size_t>(n));
  return text;
}

std::int32_t TCustomWSocket::ReceiveFrom(void* buffer, std::int32_t size, TSockAddrIn& from,
                                         std::int32_t& fromLen) {
  std::int32_t n = RecvRawFrom(buffer, size, 0, from, fromLen);
  if (n < 0)
    lastError_ = wsa::GetLastError();
  else
    readCount_ += n;
  return n;
}

std::int32_t TCustomWSocket::RcvdCount() {
  unsigned long ready = 0;
  if (SockBytesReady(hSocket_, &ready) != 0) {
    ReportSocketError("ioctlSocket");
    return -1;
  }
  return static_cast<std::int32_t>(ready);
}

// --- message pumping -------------------------------------------------------------------------

bool TCustomWSocket::PumpThreadMessages() {
  auto alive = alive_;
  bool quit = TMessageLoop::Current().ProcessPending();
  if (quit && *alive) quitSeen_ = true;
  return quit;
}

void TCustomWSocket::PumpMessages() {
  if (multiThreaded_)
    PumpThreadMessages();
  else
    Application->ProcessMessages();
}
