#pragma once
// A file descriptor owned by one object: closed when the object goes, unless given away.

#include <unistd.h>

#include <utility>

class TUniqueFd {
 public:
  explicit TUniqueFd(int fd) : fd_(fd) {}
  ~TUniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return fd_; }
  // The caller owns the descriptor from now on.
  int Release() { return std::exchange(fd_, -1); }
  // Closes now and returns what close returned: some file systems report a failed write only
  // there, and a file written for keeping must not be taken as written then.
  int Close() { return ::close(Release()); }

 private:
  int fd_;
};
