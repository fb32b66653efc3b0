// Turning posted notifications into event handler calls, and reporting errors.
#include <cstdarg>
#include <cstdio>

#include "net/custom_wsocket.h"
#include "net/socket_error_text.h"
#include "platform/socket_errors.h"

void TCustomWSocket::DispatchNotification(const TMessage& msg) {
  auto alive = alive_;
  try {
    switch (msg.msg) {
      case SocketEventMessage:
        HandleSocketEvent(msg.wParam, msg.lParam);
        break;
      case LookupDoneMessage:
        HandleLookupDone(msg);
        break;
      case ReverseLookupDoneMessage:
        HandleReverseLookupDone(msg);
        break;
      case CloseLaterMessage:
        Close();
        break;
      case ReleaseLaterMessage: {
        std::unique_ptr<TCustomWSocket> self = std::move(releasing_);
        return;  // frees the socket, if ReleaseLater handed it over
      }
      case TestExceptionMessage:
        throw ESocketException("Test exception in WSocket");
      default:
        break;
    }
  } catch (const std::exception& e) {
    if (*alive) HandleBackgroundError(e);
  }
}

void TCustomWSocket::HandleSocketEvent(WPARAM wParam, LPARAM lParam) {
  if (hSocket_ == INVALID_SOCKET || wParam != SockSelectTag(hSocket_) || paused_) return;
  const TSocket handle = hSocket_;
  const std::uint32_t events = SelectEvent(lParam);
  const int error = SelectError(lParam);
  auto alive = alive_;
  // A handler may close the socket, open a new session on it or free it: each step below
  // belongs to the session the notification was posted for.
  auto sameSession = [&] { return *alive && hSocket_ == handle; };

  if (events & FD_CONNECT) {
    if (state_ != wsConnected) {
      ChangeState(wsConnected);
      if (!sameSession()) return;
      FireSessionConnected(error);
      if (!sameSession()) return;
    }
    if (error != 0 && state_ != wsClosed) {
      Close();
      return;
    }
  }
  if (events & FD_READ) {
    if (state_ != wsConnected) {
      ChangeState(wsConnected);
      if (!sameSession()) return;
      FireSessionConnected(error);
      if (!sameSession()) return;
    }
    ReceiveLoop(error, componentOptions_);
    if (!sameSession()) return;
  }
  if (events & FD_WRITE) {
    TryToSend();
    if (!sameSession()) return;
    if (sendComplete_) {
      FireDataSent(error);
      if (!sameSession()) return;
    }
  }
  if (events & FD_ACCEPT) {
    FireSessionAvailable(error);
    if (!sameSession()) return;
  }
  if ((events & FD_CLOSE) && state_ != wsConnecting) {
    TWSocketOptions options = componentOptions_;
    options.erase(wsoNoReceiveLoop);
    ReceiveLoop(0, options);
    if (!sameSession()) return;
    if (!closeInvoked_) {
      closeInvoked_ = true;
      FireSessionClosed(error);
      if (!sameSession()) return;
    }
    if (state_ != wsClosed) Close();
  }
}

void TCustomWSocket::ReceiveLoop(int error, const TWSocketOptions& options) {
  const TSocket handle = hSocket_;
  auto alive = alive_;
  for (;;) {
    lastError_ = 0;
    try {
      if (!FireDataAvailable(error)) {
        if (!*alive) return;
        char discard[1024];
        if (RecvRaw(discard, sizeof discard, 0) < 0) {
          int err = wsa::GetLastError();
          if (err == wsa::kWouldBlock) {
            lastError_ = 0;
            break;
          }
          lastError_ = err;
        }
      }
    } catch (...) {
      // An exception of a data handler ends this loop and goes nowhere else.
      break;
    }
    if (!*alive || hSocket_ != handle || hSocket_ == INVALID_SOCKET) return;
    if (options.count(wsoNoReceiveLoop)) break;
    if (lastError_ != 0) break;
    unsigned long ready = 0;
    if (SockBytesReady(hSocket_, &ready) != 0) {
      lastError_ = wsa::GetLastError();
      break;
    }
    if (ready == 0) break;
  }
}

bool TCustomWSocket::FireDataAvailable(int error) {
  if (!OnDataAvailable) return false;
  // A copy: the handler may replace or clear the member while it runs.
  TDataAvailable handler = OnDataAvailable;
  handler(this, static_cast<std::uint16_t>(error));
  return true;
}

void TCustomWSocket::FireSessionAvailable(int error) {
  if (OnSessionAvailable) {
    TSessionAvailable handler = OnSessionAvailable;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomWSocket::FireSessionConnected(int error) {
  if (OnSessionConnected) {
    TSessionConnected handler = OnSessionConnected;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomWSocket::FireSessionClosed(int error) {
  if (OnSessionClosed) {
    TSessionClosed handler = OnSessionClosed;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomWSocket::FireDataSent(int error) {
  if (OnDataSent) {
    TDataSent handler = OnDataSent;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomWSocket::FireChangeState(TSocketState oldState, TSocketState newState) {
  if (OnChangeState) {
    TChangeState handler = OnChangeState;
    handler(this, oldState, newState);
  }
}

void TCustomWSocket::FireDnsLookupDone(int error) {
  if (OnDnsLookupDone) {
    TDnsLookupDone handler = OnDnsLookupDone;
    handler(this, static_cast<std::uint16_t>(error));
  }
}

void TCustomWSocket::FireError() {
  if (OnError) {
    TSocketNotifyEvent handler = OnError;
    handler(this);
  }
}

void TCustomWSocket::HandleBackgroundError(const std::exception& e) {
  auto alive = alive_;
  bool canClose = true;
  if (OnBgException) {
    try {
      TBgExceptionEvent handler = OnBgException;
      handler(this, e, canClose);
    } catch (...) {
    }
    if (!*alive) return;
  }
  if (canClose) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

// --- errors ----------------------------------------------------------------------------------

void TCustomWSocket::SignalError(const std::string& msg) {
  if (OnError) {
    FireError();
    return;
  }
  throw ESocketException(msg);
}

void TCustomWSocket::SignalErrorFmt(const char* fmt, ...) {
  char buf[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  SignalError(buf);
}

void TCustomWSocket::ReportSocketError(const std::string& funcName) {
  const int err = wsa::GetLastError();
  std::string msg =
      "Error " + std::to_string(err) + " in function " + funcName + "\r\n" + SocketErrorText(err);
  if (err == wsa::kConnectionReset || err == wsa::kNotConnected) {
    auto alive = alive_;
    if (hSocket_ != INVALID_SOCKET) {
      SockClose(hSocket_);
      hSocket_ = INVALID_SOCKET;
    }
    if (state_ != wsClosed && !closeInvoked_) {
      closeInvoked_ = true;
      FireSessionClosed(err);
      if (!*alive) return;
    }
    ChangeState(wsClosed);
    if (!*alive) return;
    // The next session is a new one: it reports its own close.
    closeInvoked_ = false;
  }
  lastError_ = err;
  SignalError(msg);
}
