// Line mode: received bytes are collected and delivered one complete line at a time.
#include "net/line_wsocket.h"

#include <algorithm>
#include <cstring>

#include "platform/socket_errors.h"

TCustomLineWSocket::TCustomLineWSocket() = default;

std::int32_t TCustomLineWSocket::RcvdCount() {
  if (lineMode_) return lineLength_;
  return TCustomTlsWSocket::RcvdCount();
}

void TCustomLineWSocket::SetLineMode(bool value) {
  if (value == lineMode_) return;
  lineMode_ = value;
  if (rcvdCnt_ > 0 || lineLength_ > 0) PostMessage(notifyWindow_, LineResumeMessage, 0, 0);
}

void TCustomLineWSocket::GrowBuffer(std::int32_t capacity) {
  if (static_cast<std::size_t>(capacity) > rcvdPtr_.size())
    rcvdPtr_.resize(static_cast<std::size_t>(capacity));
}

void TCustomLineWSocket::DispatchNotification(const TMessage& msg) {
  if (msg.msg != LineResumeMessage) {
    TCustomTlsWSocket::DispatchNotification(msg);
    return;
  }
  auto alive = alive_;
  try {
    HandleLineResume();
  } catch (const std::exception& e) {
    if (*alive) HandleBackgroundError(e);
  }
}

void TCustomLineWSocket::HandleLineResume() {
  auto alive = alive_;
  while (rcvdCnt_ > 0) {
    if (lineMode_) {
      // Switched on again: the complete lines already held go out now, the rest waits for
      // the next arrival.
      DeliverLines(0);
      return;
    }
    const std::int32_t before = rcvdCnt_;
    if (!FireDataAvailable(0)) return;
    if (!*alive) return;
    // A handler that takes nothing would be called without end: the bytes stay buffered and
    // are served first by the next read.
    if (rcvdCnt_ >= before) return;
  }
}

bool TCustomLineWSocket::FireDataAvailable(int error) {
  if (!lineMode_ || lineEnd_.empty() || !TransportDataPhase())
    return TCustomTlsWSocket::FireDataAvailable(error);

  std::int32_t count = TCustomTlsWSocket::RcvdCount();
  if (count < 0) return true;
  if (count == 0) count = 255;
  if (rcvdCnt_ + count + 1 > static_cast<std::int32_t>(rcvdPtr_.size()))
    GrowBuffer(rcvdCnt_ + count + 1);
  // Read from below this layer: a line being delivered must not be served to ourselves.
  std::int32_t n = TCustomTlsWSocket::RecvRaw(rcvdPtr_.data() + rcvdCnt_, count, 0);
  if (n < 0) {
    lastError_ = wsa::GetLastError();
    return true;
  }
  readCount_ += n;
  if (n == 0) return true;
  rcvdPtr_[static_cast<std::size_t>(rcvdCnt_ + n)] = 0;

  auto alive = alive_;
  const TSocket handle = hSocket_;
  if (lineEdit_) {
    ApplyLineEdit(n);
  } else if (lineEcho_) {
    Send(rcvdPtr_.data() + rcvdCnt_, n);
  }
  if (!*alive || hSocket_ != handle) return true;

  const std::int32_t searchFrom =
      std::max<std::int32_t>(0, rcvdCnt_ - static_cast<std::int32_t>(lineEnd_.size()));
  rcvdCnt_ += n;
  // A read notification dispatched while a line handler pumps messages only adds its bytes;
  // the delivery running further up the stack finds them.
  if (delivering_) return true;
  DeliverLines(searchFrom);
  return true;
}

void TCustomLineWSocket::DeliverLines(std::int32_t searchFrom) {
  auto alive = alive_;
  const auto endLen = static_cast<std::int32_t>(lineEnd_.size());
  delivering_ = true;
  bool foundAll = true;
  while (lineMode_) {
    std::int32_t i = searchFrom;
    const char first = lineEnd_[0];
    for (; i + endLen <= rcvdCnt_; ++i) {
      if (rcvdPtr_[static_cast<std::size_t>(i)] == static_cast<std::uint8_t>(first) &&
          std::memcmp(rcvdPtr_.data() + i, lineEnd_.data(), static_cast<std::size_t>(endLen)) == 0)
        break;
    }
    if (i + endLen > rcvdCnt_) {
      foundAll = false;
      break;
    }
    lineLength_ = i + endLen;
    while (lineMode_ && lineLength_ > 0) {
      if (!TCustomSocksWSocket::FireDataAvailable(0)) lineLength_ = 0;
      if (!*alive) return;
      if (rcvdPtr_.empty()) {  // the session closed inside the handler
        delivering_ = false;
        return;
      }
    }
    const std::int32_t after = rcvdCnt_ - i - endLen;
    if (lineLength_ == 0) {
      std::memmove(rcvdPtr_.data(), rcvdPtr_.data() + i + endLen, static_cast<std::size_t>(after));
      rcvdCnt_ = after;
    } else {
      // LineMode went off before the whole line was read: its rest (already at the start)
      // is followed directly by the bytes after it.
      std::memmove(rcvdPtr_.data() + lineLength_, rcvdPtr_.data() + i + endLen,
                   static_cast<std::size_t>(after));
      rcvdCnt_ = lineLength_ + after;
      if (!lineMode_) lineLength_ = 0;
    }
    rcvdPtr_[static_cast<std::size_t>(rcvdCnt_)] = 0;
    searchFrom = 0;
  }
  delivering_ = false;
  if (foundAll || !lineMode_) return;
  if (lineLimit_ > 0 && rcvdCnt_ > lineLimit_) {
    lineClearData_ = true;
    FireLineLimitExceeded(rcvdCnt_, lineClearData_);
    if (!*alive) return;
    if (lineClearData_) {
      rcvdCnt_ = 0;
      lineLength_ = 0;
      lineClearData_ = false;
    }
  }
}

std::int32_t TCustomLineWSocket::RecvRaw(void* buffer, std::int32_t size, int flags) {
  if (size < 0) size = 0;
  if (lineMode_ && lineLength_ > 0) {
    if (size >= lineLength_) {
      std::int32_t n = lineLength_;
      std::memcpy(buffer, rcvdPtr_.data(), static_cast<std::size_t>(n));
      lineLength_ = 0;
      return n;
    }
    std::memcpy(buffer, rcvdPtr_.data(), static_cast<std::size_t>(size));
    std::memmove(rcvdPtr_.data(), rcvdPtr_.data() + size,
                 static_cast<std::size_t>(lineLength_ - size));
    lineLength_ -= size;
    return size;
  }
  if (!lineMode_ && rcvdCnt_ > 0) {
    if (size >= rcvdCnt_) {
      std::int32_t n = rcvdCnt_;
      std::memcpy(buffer, rcvdPtr_.data(), static_cast<std::size_t>(n));
      rcvdCnt_ = 0;
      return n;
    }
    std::memcpy(buffer, rcvdPtr_.data(), static_cast<std::size_t>(size));
    std::memmove(rcvdPtr_.data(), rcvdPtr_.data() + size,
                 static_cast<std::size_t>(rcvdCnt_ - size + 1));
    rcvdCnt_ -= size;
    return size;
  }
  return TCustomTlsWSocket::RecvRaw(buffer, size, flags);
}

void TCustomLineWSocket::FireSessionClosed(int error) {
  if (!rcvdPtr_.empty()) {
    auto alive = alive_;
    // Everything still held is offered before the session ends: in line mode as a last,
    // unterminated line; with the mode switched off meanwhile as plain bytes. Offering stops
    // when a handler takes nothing, so that it cannot go on without end.
    while (rcvdCnt_ > 0) {
      const std::int32_t before = rcvdCnt_;
      if (lineMode_) {
        if (lineClearData_) break;
        // What is held is one contiguous run: the rest of a line being read, then the rest.
        lineLength_ = rcvdCnt_;
        while (lineMode_ && lineLength_ > 0) {
          const std::int32_t left = lineLength_;
          if (!TCustomSocksWSocket::FireDataAvailable(0)) lineLength_ = 0;
          if (!*alive) return;
          if (lineLength_ >= left) break;
        }
        rcvdCnt_ = lineLength_;  // the unread rest of the line sits at the start
        lineLength_ = 0;
      } else {
        if (!TCustomSocksWSocket::FireDataAvailable(0)) break;
        if (!*alive) return;
      }
      if (rcvdCnt_ >= before) break;
    }
    rcvdPtr_.clear();
    rcvdPtr_.shrink_to_fit();
    rcvdCnt_ = 0;
    lineLength_ = 0;
  }
  TCustomTlsWSocket::FireSessionClosed(error);
}

void TCustomLineWSocket::FireLineLimitExceeded(std::int32_t rcvdLength, bool& clearData) {
  if (OnLineLimitExceeded) {
    TLineLimitEvent handler = OnLineLimitExceeded;
    handler(this, rcvdLength, clearData);
  }
}

void TCustomLineWSocket::ApplyLineEdit(std::int32_t& n) {
  std::int32_t inPos = rcvdCnt_;
  std::int32_t outPos = rcvdCnt_;
  std::int32_t lowest = rcvdCnt_;
  const std::int32_t end = rcvdCnt_ + n;
  std::vector<std::uint8_t> work;
  bool haveWork = false;
  // The echo goes out after the edit: a send that fails could close the session and free the
  // buffer being edited.
  std::string echo;
  auto makeWork = [&] {
    if (haveWork) return;
    work.assign(rcvdPtr_.begin(), rcvdPtr_.begin() + inPos);
    haveWork = true;
  };
  auto put = [&](std::uint8_t c) {
    if (static_cast<std::size_t>(outPos) >= work.size()) work.resize(work.size() + 256);
    work[static_cast<std::size_t>(outPos)] = c;
  };
  while (inPos < end) {
    const std::uint8_t c = rcvdPtr_[static_cast<std::size_t>(inPos)];
    if (c == 8) {
      if (lineEcho_ && outPos > 0) echo += "\b \b";
      makeWork();
      if (outPos > 0) {
        --outPos;
        lowest = std::min(lowest, outPos);
      }
      ++inPos;
    } else if (c == 9) {
      makeWork();
      do {
        if (lineEcho_) echo += ' ';
        put(' ');
        ++outPos;
      } while (outPos % 8 != 0);
      ++inPos;
    } else {
      if (lineEcho_) echo += static_cast<char>(c);
      if (haveWork) put(c);
      ++outPos;
      ++inPos;
    }
  }
  if (haveWork) {
    GrowBuffer(outPos + 1);
    std::memcpy(rcvdPtr_.data(), work.data(), static_cast<std::size_t>(outPos));
    rcvdPtr_[static_cast<std::size_t>(outPos)] = 0;
    rcvdCnt_ = lowest;
    n = outPos - lowest;
  }
  if (!echo.empty()) SendText(echo);
}
