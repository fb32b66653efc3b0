#pragma once
// Bytes read from the socket ahead of the line buffer. The line buffer holds at most 4093
// bytes, so reading only what fits would cost a system call (and a look at what is still
// waiting) for every 4 KiB of a large mail; a read into this larger room is handed on to it
// in the same order, so lines and pieces come out exactly as from reads of any other size.

#include <cstddef>
#include <cstring>
#include <vector>

class TPop3ReadAhead {
 public:
  static constexpr std::size_t kSize = 64 * 1024;

  bool Empty() const { return start_ == end_; }
  // Room for one read; valid until the next call.
  char* Space() {
    if (buffer_.empty()) buffer_.resize(kSize);
    start_ = end_ = 0;
    return buffer_.data();
  }
  void Filled(std::size_t count) { end_ = count; }
  // Moves up to `room` bytes to `dest`; returns how many.
  std::size_t MoveInto(char* dest, std::size_t room) {
    std::size_t n = end_ - start_ < room ? end_ - start_ : room;
    std::memcpy(dest, buffer_.data() + start_, n);
    start_ += n;
    return n;
  }
  void Clear() { start_ = end_ = 0; }

 private:
  std::vector<char> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};
