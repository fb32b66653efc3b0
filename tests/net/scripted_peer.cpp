#include "scripted_peer.h"

#include <sys/socket.h>
#include <unistd.h>

#include "net_test_util.h"

namespace nettest {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

TScriptedPeer::TScriptedPeer() {
  listenFd_ = PlainListen(port_);
}

TScriptedPeer::~TScriptedPeer() {
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
}

TScriptedPeer& TScriptedPeer::Read(std::size_t n) {
  steps_.push_back({TStep::kRead, {}, n});
  return *this;
}
TScriptedPeer& TScriptedPeer::Write(const std::string& bytes) {
  steps_.push_back({TStep::kWrite, bytes, 0});
  return *this;
}
TScriptedPeer& TScriptedPeer::Close() {
  steps_.push_back({TStep::kClose, {}, 0});
  return *this;
}
TScriptedPeer& TScriptedPeer::Reset() {
  steps_.push_back({TStep::kReset, {}, 0});
  return *this;
}
TScriptedPeer& TScriptedPeer::ReadToEnd() {
  steps_.push_back({TStep::kReadToEnd, {}, 0});
  return *this;
}

void TScriptedPeer::Start() {
  thread_ = std::thread([this] {
    int fd = PlainAccept(listenFd_);
    if (fd < 0) return;
    bool open = true;
    for (const TStep& step : steps_) {
      switch (step.kind) {
        case TStep::kRead:
          received_ += ReadBytes(fd, step.count);
          break;
        case TStep::kWrite:
          SendAll(fd, step.bytes);
          break;
        case TStep::kClose:
          close(fd);
          open = false;
          break;
        case TStep::kReset:
          CloseWithReset(fd);
          open = false;
          break;
        case TStep::kReadToEnd:
          received_ += nettest::ReadToEnd(fd);
          break;
      }
      if (!open) break;
    }
    if (open) {
      // Hold the connection until the other side closes, so nothing is cut short.
      received_ += nettest::ReadToEnd(fd, 3000);
      close(fd);
    }
  });
}

std::string TScriptedPeer::Finish() {
  if (thread_.joinable()) thread_.join();
  return received_;
}

}  // namespace nettest
