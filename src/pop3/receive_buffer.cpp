#include "pop3/receive_buffer.h"

#include <cstring>

void TPop3ReceiveBuffer::Clear() {
  start_ = 0;
  length_ = 0;
  forced_ = false;
  carried_ = false;
  data_[0] = 0;
}

void TPop3ReceiveBuffer::Compact() {
  if (start_ == 0) return;
  std::memmove(data_, data_ + start_, std::size_t(length_ - start_) + 1);  // with the zero
  length_ -= start_;
  start_ = 0;
}

void TPop3ReceiveBuffer::Commit(int count) {
  if (count <= 0) return;
  if (count > kSize - 1 - length_) count = kSize - 1 - length_;
  length_ += count;
  data_[length_] = 0;
}

void TPop3ReceiveBuffer::ForceLineEnd() {
  Compact();
  if (length_ < kMaxHeld) return;
  if (length_ > kMaxHeld) {
    // The byte after a CR in the last place was no LF, so that CR is part of the line; the
    // byte waits outside while the piece is taken.
    carry_ = data_[kMaxHeld];
    carried_ = true;
  }
  data_[kMaxHeld] = '\r';
  data_[kMaxHeld + 1] = '\n';
  length_ = kMaxHeld + 2;
  data_[length_] = 0;
  forced_ = true;
}

bool TPop3ReceiveBuffer::TakeLine(std::string& line, bool& complete) {
  const char* start = data_ + start_;
  const char* end = data_ + length_;
  const char* cr = start;
  for (;;) {
    cr = static_cast<const char*>(std::memchr(cr, '\r', std::size_t(end - cr)));
    if (cr == nullptr || cr + 1 >= end) return false;
    if (cr[1] == '\n') break;
    ++cr;
  }
  int lineLength = int(cr - start);
  line.assign(start, std::size_t(lineLength));
  // Our own line end sits right after a full buffer, so only a piece starting at the front
  // can be the forced one.
  complete = !(forced_ && start_ == 0 && lineLength == kMaxHeld);
  if (!complete) forced_ = false;
  start_ += lineLength + 2;
  if (start_ == length_) {
    start_ = length_ = 0;
    data_[0] = 0;
  }
  if (!complete && carried_) {
    // Only the forced piece was in the buffer, so the carried byte goes to its front.
    carried_ = false;
    data_[0] = carry_;
    length_ = 1;
    data_[1] = 0;
  }
  return true;
}
