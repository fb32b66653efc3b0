#include "platform/async_select.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include "platform/socket_errors.h"

namespace {

// What the program has asked for on one handle, and which notifications are armed. A
// notification that has been posted stays disarmed until the call that consumes it.
struct TSelectState {
  std::uint32_t generation = 0;
  TNotifyTarget target = 0;
  unsigned msg = 0;
  std::uint32_t mask = 0;
  bool stream = true;
  bool listening = false;
  bool readArmed = true;
  bool writeArmed = false;
  bool acceptArmed = true;
  bool connectPending = false;
  bool closePosted = false;
  bool shutWrite = false;
  bool peerReset = false;
  // A hang-up was reported while nothing could be posted: stay out of the poller until a
  // call re-arms something, so the hang-up cannot repeat without end.
  bool hangUpParked = false;
  bool watched = false;
  std::uint32_t interest = 0;
};

// Sockets belong to the thread whose loop they notify; the table is per thread like the loop.
thread_local std::unordered_map<TSocket, TSelectState> selectStates;
thread_local std::uint32_t nextGeneration = 0;
thread_local std::uint64_t readinessReports = 0;

TSelectState& Register(TSocket s, bool stream) {
  TSelectState st;
  st.stream = stream;
  if (++nextGeneration == 0) nextGeneration = 1;
  st.generation = nextGeneration;
  return selectStates[s] = st;
}

TSelectState& StateOf(TSocket s) {
  auto it = selectStates.find(s);
  if (it != selectStates.end()) return it->second;
  int type = 0;
  socklen_t len = sizeof type;
  bool stream = true;
  if (getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &len) == 0) stream = type == SOCK_STREAM;
  TSelectState& st = Register(s, stream);
  int accepting = 0;
  len = sizeof accepting;
  if (getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &len) == 0) st.listening = accepting;
  return st;
}

int Fail(int err) {
  wsa::SetLastErrorFromErrno(err);
  return SOCKET_ERROR;
}

WPARAM Tag(const TSelectState& st, TSocket s) {
  return (static_cast<WPARAM>(st.generation) << 32) | static_cast<std::uint32_t>(s);
}

// Posts one notification when the program asked for that event; returns whether it did.
bool Post(const TSelectState& st, TSocket s, std::uint32_t event, int error) {
  if ((st.mask & event) == 0) return false;
  PostMessage(st.target, st.msg, Tag(st, s), MakeSelectParam(event, error));
  return true;
}

int TakeSocketError(TSocket s) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
  return err;
}

void OnReady(TSocket s, std::uint32_t events);

std::uint32_t WantedInterest(const TSelectState& st) {
  if (st.target == 0 || st.mask == 0 || st.hangUpParked) return 0;
  std::uint32_t ev = 0;
  if (st.connectPending) return EPOLLOUT;
  if (st.listening) {
    if ((st.mask & FD_ACCEPT) && st.acceptArmed) ev |= EPOLLIN;
    return ev;
  }
  if (!st.closePosted && st.readArmed) {
    // Without read notifications only the peer's end is watched for: waiting data would
    // otherwise keep the poller reporting it.
    if (st.mask & FD_READ)
      ev |= EPOLLIN | EPOLLRDHUP;
    else if (st.mask & FD_CLOSE)
      ev |= EPOLLRDHUP;
  }
  if ((st.mask & FD_WRITE) && st.writeArmed) ev |= EPOLLOUT;
  return ev;
}

void Update(TSocket s) {
  auto it = selectStates.find(s);
  if (it == selectStates.end()) return;
  TSelectState& st = it->second;
  std::uint32_t want = WantedInterest(st);
  TMessageLoop& loop = TMessageLoop::Current();
  if (want == 0 && st.hangUpParked) {
    if (st.watched) loop.UnwatchFd(s);
    st.watched = false;
    st.interest = 0;
    return;
  }
  if (!st.watched) {
    if (st.target == 0 || st.mask == 0) return;
    loop.WatchFd(s, want, [s](std::uint32_t events) { OnReady(s, events); });
    st.watched = true;
    st.interest = want;
  } else if ((want & ~st.interest) != 0) {
    // Interest is added at once but dropped only lazily (see OnReady): a notification is
    // usually consumed before the next poll, and then the poller is not touched at all.
    loop.ChangeFd(s, want);
    st.interest = want;
  }
}

void DropStaleInterest(TSocket s, TSelectState& st) {
  std::uint32_t want = WantedInterest(st);
  if (st.watched && want != st.interest) {
    TMessageLoop::Current().ChangeFd(s, want);
    st.interest = want;
  }
}

void Rearm(TSocket s, bool TSelectState::*flag) {
  auto it = selectStates.find(s);
  if (it == selectStates.end()) return;
  it->second.*flag = true;
  it->second.hangUpParked = false;
  Update(s);
}

void OnReady(TSocket s, std::uint32_t events) {
  ++readinessReports;
  auto it = selectStates.find(s);
  if (it == selectStates.end()) return;
  TSelectState& st = it->second;
  bool posted = false;
  const bool hangUp = events & (EPOLLERR | EPOLLHUP);
  // Readiness for a notification that is not armed (its interest is dropped lazily).
  const bool stale = (events & (EPOLLIN | EPOLLOUT | EPOLLRDHUP) & ~WantedInterest(st)) != 0;

  if (st.connectPending) {
    if (events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) {
      int err = TakeSocketError(s);
      st.connectPending = false;
      Post(st, s, FD_CONNECT, wsa::FromErrno(err));
      posted = true;
      if (err == 0) {
        // The one write notification that follows a completed connect.
        Post(st, s, FD_WRITE, 0);
        st.writeArmed = false;
      } else {
        // A connection that never existed cannot close: the connect error says it all.
        st.closePosted = true;
      }
    }
  } else if (st.listening) {
    if ((events & EPOLLIN) && st.acceptArmed && Post(st, s, FD_ACCEPT, 0)) {
      st.acceptArmed = false;
      posted = true;
    }
  } else {
    if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLERR | EPOLLHUP)) && st.readArmed &&
        !st.closePosted) {
      // Readable without any sign of an end means data; only an end needs a closer look.
      const bool ending = events & (EPOLLRDHUP | EPOLLERR | EPOLLHUP);
      int ready = 0;
      if (!ending || !st.stream)
        ready = (events & EPOLLIN) ? 1 : 0;
      else if (ioctl(s, FIONREAD, &ready) != 0)
        ready = 0;
      if (!(st.mask & FD_READ)) ready = 0;  // the program reads on its own
      if (ready > 0 || (!st.stream && (st.mask & FD_READ) && (events & EPOLLIN))) {
        Post(st, s, FD_READ, 0);
        st.readArmed = false;
        posted = true;
      } else if (st.stream && ending) {
        // Nothing left to read and the peer is gone: the close comes after the last data.
        int err = TakeSocketError(s);
        if (err == ECONNRESET) st.peerReset = true;
        st.closePosted = true;
        Post(st, s, FD_CLOSE, err == 0 ? 0 : wsa::FromErrno(err));
        posted = true;
      }
    }
    if ((events & EPOLLOUT) && st.writeArmed && Post(st, s, FD_WRITE, 0)) {
      st.writeArmed = false;
      posted = true;
    }
  }
  // Readiness nobody is waiting for: stop asking, so that it cannot repeat.
  if (!posted && hangUp) st.hangUpParked = true;
  if (st.hangUpParked)
    Update(s);
  else if (stale || !posted)
    DropStaleInterest(s, st);
  else
    Update(s);
}

}  // namespace

TSocket SockCreate(int family, int type, int protocol) {
  int fd = socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) return Fail(errno);
  Register(fd, type == SOCK_STREAM);
  return fd;
}

int SockAsyncSelect(TSocket s, TNotifyTarget target, unsigned msg, std::uint32_t eventMask) {
  int flags = fcntl(s, F_GETFL);
  if (flags < 0) return Fail(errno);
  if (!(flags & O_NONBLOCK) && fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) return Fail(errno);
  TSelectState& st = StateOf(s);
  st.target = target;
  st.msg = msg;
  st.mask = eventMask;
  // Asking again re-arms everything, a close included: one posted while the program had
  // paused its notifications was dropped, and the condition is reported anew.
  st.readArmed = true;
  st.acceptArmed = true;
  st.closePosted = false;
  st.hangUpParked = false;
  st.writeArmed = false;
  if (!st.listening && !st.connectPending) {
    if (!st.stream) {
      st.writeArmed = true;
    } else {
      sockaddr_storage peer{};
      socklen_t len = sizeof peer;
      st.writeArmed = getpeername(s, reinterpret_cast<sockaddr*>(&peer), &len) == 0;
    }
  }
  if (eventMask == 0 || target == 0) {
    if (st.watched) TMessageLoop::Current().UnwatchFd(s);
    st.watched = false;
    st.interest = 0;
    return 0;
  }
  DropStaleInterest(s, st);  // a new mask may ask for less than the old one
  Update(s);
  return 0;
}

int SockConnect(TSocket s, const void* addr, std::size_t addrLen) {
  TSelectState& st = StateOf(s);
  if (connect(s, static_cast<const sockaddr*>(addr), static_cast<socklen_t>(addrLen)) == 0) {
    // Finished at once (datagram sockets, sometimes loopback): report it like a late end.
    if (st.stream) {
      st.connectPending = true;
      Update(s);
    }
    return 0;
  }
  int err = errno;
  if (err == EINPROGRESS && st.stream) {
    st.connectPending = true;
    Update(s);
    wsa::SetLastError(wsa::kWouldBlock);
    return SOCKET_ERROR;
  }
  return Fail(err);
}

int SockBind(TSocket s, const void* addr, std::size_t addrLen) {
  if (bind(s, static_cast<const sockaddr*>(addr), static_cast<socklen_t>(addrLen)) != 0)
    return Fail(errno);
  return 0;
}

int SockListen(TSocket s, int backlog) {
  if (listen(s, backlog) != 0) return Fail(errno);
  TSelectState& st = StateOf(s);
  st.listening = true;
  st.writeArmed = false;
  Update(s);
  return 0;
}

TSocket SockAccept(TSocket s, void* addr, std::size_t* addrLen) {
  sockaddr_storage from{};
  socklen_t len = sizeof from;
  int fd = accept4(s, reinterpret_cast<sockaddr*>(&from), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  int err = errno;
  Rearm(s, &TSelectState::acceptArmed);
  if (fd < 0) return Fail(err);
  if (addr && addrLen) {
    std::size_t n = std::min<std::size_t>(*addrLen, len);
    std::copy_n(reinterpret_cast<const unsigned char*>(&from), n,
                static_cast<unsigned char*>(addr));
    *addrLen = n;
  }
  Register(fd, true);
  return fd;
}

namespace {
int SendResult(TSocket s, ssize_t n, std::size_t len, int err) {
  if (n >= 0) {
    // The system took only part: the rest waits for room exactly as after a "would block".
    if (static_cast<std::size_t>(n) < len) Rearm(s, &TSelectState::writeArmed);
    return static_cast<int>(n);
  }
  if (err == EAGAIN || err == EWOULDBLOCK || err == ENOBUFS) {
    Rearm(s, &TSelectState::writeArmed);
    wsa::SetLastError(wsa::kWouldBlock);
    return SOCKET_ERROR;
  }
  if (err == EPIPE) {
    auto it = selectStates.find(s);
    bool reset = it != selectStates.end() && it->second.peerReset;
    bool shut = it != selectStates.end() && it->second.shutWrite;
    wsa::SetLastError(reset  ? wsa::kConnectionReset
                      : shut ? wsa::kShutdown
                             : wsa::kConnectionAborted);
    return SOCKET_ERROR;
  }
  if (err == ECONNRESET) StateOf(s).peerReset = true;
  return Fail(err);
}

int OsSendFlags(int flags) {
  int os = MSG_NOSIGNAL;
  if (flags & 1) os |= MSG_OOB;
  return os;
}
}  // namespace

int SockSend(TSocket s, const void* data, std::size_t len, int flags) {
  ssize_t n = send(s, data, len, OsSendFlags(flags));
  return SendResult(s, n, len, errno);
}

int SockSendTo(TSocket s, const void* data, std::size_t len, int flags, const void* addr,
               std::size_t addrLen) {
  ssize_t n = sendto(s, data, len, OsSendFlags(flags), static_cast<const sockaddr*>(addr),
                     static_cast<socklen_t>(addrLen));
  return SendResult(s, n, len, errno);
}

int SockRecv(TSocket s, void* buffer, std::size_t len, int flags) {
  ssize_t n = recv(s, buffer, len, (flags & 1 ? MSG_OOB : 0) | (flags & 2 ? MSG_PEEK : 0));
  int err = errno;
  Rearm(s, &TSelectState::readArmed);
  if (n < 0) {
    if (err == ECONNRESET) StateOf(s).peerReset = true;
    return Fail(err);
  }
  return static_cast<int>(n);
}

int SockRecvFrom(TSocket s, void* buffer, std::size_t len, int flags, void* addr,
                 std::size_t* addrLen) {
  sockaddr_storage from{};
  socklen_t fromLen = sizeof from;
  ssize_t n = recvfrom(s, buffer, len, (flags & 1 ? MSG_OOB : 0) | (flags & 2 ? MSG_PEEK : 0),
                       reinterpret_cast<sockaddr*>(&from), &fromLen);
  int err = errno;
  Rearm(s, &TSelectState::readArmed);
  if (n < 0) return Fail(err);
  if (addr && addrLen) {
    std::size_t c = std::min<std::size_t>(*addrLen, fromLen);
    std::copy_n(reinterpret_cast<const unsigned char*>(&from), c,
                static_cast<unsigned char*>(addr));
    *addrLen = c;
  }
  return static_cast<int>(n);
}

int SockBytesReady(TSocket s, unsigned long* count) {
  int ready = 0;
  if (ioctl(s, FIONREAD, &ready) != 0) return Fail(errno);
  *count = static_cast<unsigned long>(ready < 0 ? 0 : ready);
  return 0;
}

int SockShutdown(TSocket s, int how) {
  int osHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  if (shutdown(s, osHow) != 0) return Fail(errno);
  if (how != 0) StateOf(s).shutWrite = true;
  return 0;
}

int SockClose(TSocket s) {
  auto it = selectStates.find(s);
  if (it != selectStates.end()) {
    if (it->second.watched) TMessageLoop::Current().UnwatchFd(s);
    selectStates.erase(it);
  }
  if (close(s) != 0) return Fail(errno);
  return 0;
}

int SockSetOption(TSocket s, int level, int name, const void* value, std::size_t len) {
  if (setsockopt(s, level, name, value, static_cast<socklen_t>(len)) != 0) return Fail(errno);
  return 0;
}

int SockGetOption(TSocket s, int level, int name, void* value, std::size_t* len) {
  socklen_t l = static_cast<socklen_t>(*len);
  if (getsockopt(s, level, name, value, &l) != 0) return Fail(errno);
  *len = l;
  return 0;
}

int SockGetName(TSocket s, void* addr, std::size_t* addrLen) {
  socklen_t l = static_cast<socklen_t>(*addrLen);
  if (getsockname(s, static_cast<sockaddr*>(addr), &l) != 0) return Fail(errno);
  *addrLen = l;
  return 0;
}

int SockGetPeerName(TSocket s, void* addr, std::size_t* addrLen) {
  socklen_t l = static_cast<socklen_t>(*addrLen);
  if (getpeername(s, static_cast<sockaddr*>(addr), &l) != 0) return Fail(errno);
  *addrLen = l;
  return 0;
}

WPARAM SockSelectTag(TSocket s) {
  if (s == INVALID_SOCKET) return static_cast<WPARAM>(-1);
  return Tag(StateOf(s), s);
}

std::uint64_t SockReadinessReports() {
  return readinessReports;
}

bool SockIsSelected(TSocket s) {
  auto it = selectStates.find(s);
  return it != selectStates.end() && it->second.watched;
}
