#include "pop3/receive_buffer.h"

#include <cstring>

void TPop3ReceiveBuffer::Clear() {
  length_ = 0;
  forced_ = false;
  data_[0] = 0;
}

void TPop3ReceiveBuffer::Commit(int count) {
  if (count <= 0) return;
  if (count > kSize - 1 - length_) count = kSize - 1 - length_;
  length_ += count;
  data_[length_] = 0;
}

void TPop3ReceiveBuffer::ForceLineEnd() {
  if (length_ < kMaxHeld) return;
  data_[kMaxHeld] = '\r';
  data_[kMaxHeld + 1] = '\n';
  length_ = kMaxHeld + 2;
  data_[length_] = 0;
  forced_ = true;
}

bool TPop3ReceiveBuffer::TakeLine(std::string& line, bool& complete) {
  const char* start = data_;
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
  complete = !(forced_ && lineLength == kMaxHeld);
  if (!complete) forced_ = false;
  int rest = length_ - lineLength - 2;
  std::memmove(data_, cr + 2, std::size_t(rest) + 1);  // with the terminating zero
  length_ = rest;
  return true;
}
