// The send queue: data is copied once into blocks of SendBlockSize bytes and handed to the
// system as fast as it takes it, resuming on write notifications.
#include "net/custom_wsocket.h"
#include "platform/socket_errors.h"

void TCustomWSocket::DeleteBufferedData() {
  bufList_.clear();
}

void TCustomWSocket::QueueData(const void* data, std::int32_t len) {
  if (len < 1) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (bufList_.empty()) bufList_.push_back(std::make_unique<TBuffer>(sendBlockSize_));
  std::int32_t done = bufList_.back()->Append(bytes, len);
  while (done < len) {
    bufList_.push_back(std::make_unique<TBuffer>(sendBlockSize_));
    done += bufList_.back()->Append(bytes + done, len - done);
  }
}

std::int32_t TCustomWSocket::RawSend(const void* data, std::int32_t len) {
  int n;
  if (socketType_ == 2)
    n = SockSendTo(hSocket_, data, static_cast<std::size_t>(len), sendFlags_, &sin_, sizeof sin_);
  else
    n = SockSend(hSocket_, data, static_cast<std::size_t>(len), sendFlags_);
  if (n > 0 && OnSendData) {
    TSendData handler = OnSendData;
    handler(this, n);
  }
  return n;
}

namespace {
bool IsCloseTypeError(int err) {
  return err == wsa::kConnectionReset || err == wsa::kNotSocket || err == wsa::kNotConnected ||
         err == wsa::kInvalidArgument || err == wsa::kConnectionAborted;
}
}  // namespace

void TCustomWSocket::TryToSend() {
  // OnSendData runs inside RawSend; a Send from that handler only queues its data, and this
  // loop, still running below, hands it over: the same bytes are never sent twice.
  if (hSocket_ == INVALID_SOCKET || bufList_.empty() || sending_) return;
  auto alive = alive_;
  const TSocket handle = hSocket_;
  sending_ = true;
  for (;;) {
    TBuffer* block = bufList_.front().get();
    auto [data, len] = block->Pending();
    if (len == 0) {
      if (bufList_.size() == 1) {
        sendComplete_ = true;
        break;
      }
      bufList_.pop_front();
      continue;
    }
    std::int32_t n = RawSend(data, len);
    if (!*alive) return;
    if (hSocket_ != handle || bufList_.empty() || bufList_.front().get() != block) break;
    if (n == 0) break;
    if (n < 0) {
      sending_ = false;
      int err = wsa::GetLastError();
      if (IsCloseTypeError(err)) {
        bool alreadyReported = closeInvoked_;
        closeInvoked_ = true;
        Close();
        if (!*alive) return;
        if (!alreadyReported) FireSessionClosed(err);
        return;
      }
      if (err != wsa::kWouldBlock) ReportSocketError("TryToSend failed");
      return;
    }
    block->Consume(n);
    if (n < len) break;
  }
  sending_ = false;
}

std::int32_t TCustomWSocket::Send(const void* data, std::int32_t len) {
  if (state_ != wsConnected) {
    wsa::SetLastError(wsa::kNotConnected);
    ReportSocketError("Send");
    return -1;
  }
  // Nothing to queue: SendComplete keeps its value, so a waiter for it cannot hang.
  if (len <= 0) return 0;
  auto alive = alive_;
  sendComplete_ = false;
  QueueData(data, len);
  TryToSend();
  if (!*alive) return len;
  // OnDataSent must never fire inside Send: the loop delivers it later.
  if (sendComplete_ && hSocket_ != INVALID_SOCKET)
    PostMessage(notifyWindow_, SocketEventMessage, SockSelectTag(hSocket_),
                MakeSelectParam(FD_WRITE, 0));
  return len;
}

std::int32_t TCustomWSocket::SendText(const std::string& str) {
  if (str.empty()) return 0;
  return Send(str.data(), static_cast<std::int32_t>(str.size()));
}

std::int32_t TCustomWSocket::SendTo(const TSockAddrIn& dest, std::int32_t destLen, const void* data,
                                    std::int32_t len) {
  std::size_t addrLen = destLen < 0 ? 0 : static_cast<std::size_t>(destLen);
  if (addrLen > sizeof dest) addrLen = sizeof dest;
  int n = SockSendTo(hSocket_, data, len < 0 ? 0 : static_cast<std::size_t>(len), sendFlags_, &dest,
                     addrLen);
  if (n > 0 && OnSendData) {
    TSendData handler = OnSendData;
    handler(this, n);
  }
  return n;
}

void TCustomWSocket::Flush() {
  auto alive = alive_;
  while (hSocket_ != INVALID_SOCKET && !sendComplete_) {
    TryToSend();
    if (!*alive) return;
    PumpMessages();
    if (!*alive) return;
  }
}
