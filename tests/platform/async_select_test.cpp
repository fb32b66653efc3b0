// The readiness notifications must follow the desktop socket library's re-enabling rules: one
// notification per event until the call that consumes it, never a storm, never one lost.
#include "platform/async_select.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/message_loop.h"
#include "platform/socket_errors.h"

namespace {

constexpr std::uint32_t kAll = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

class AsyncSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target = loop.AllocateTarget([this](const TMessage& m) {
      if (m.msg != SocketEventMessage) return;
      std::string name;
      switch (SelectEvent(m.lParam)) {
        case FD_READ:
          name = "read";
          break;
        case FD_WRITE:
          name = "write";
          break;
        case FD_ACCEPT:
          name = "accept";
          break;
        case FD_CONNECT:
          name = "connect";
          break;
        case FD_CLOSE:
          name = "close";
          break;
        default:
          name = "?";
      }
      events.push_back(name + " " + std::to_string(SelectError(m.lParam)));
      tags.push_back(m.wParam);
    });
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 5), 0);
    socklen_t len = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  void TearDown() override {
    if (s != INVALID_SOCKET) SockClose(s);
    if (peer >= 0) close(peer);
    close(listener);
    loop.ReleaseTarget(target);
  }
  void Pump(int ms = 60) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) loop.WaitAndDispatchOne(5);
  }
  std::string Events() {
    std::string out;
    for (auto& e : events) out += (out.empty() ? "" : ", ") + e;
    events.clear();
    return out;
  }
  // A connected socket under notification, and the accepted peer end.
  void Connected() {
    s = SockCreate(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(SockAsyncSelect(s, target, SocketEventMessage, kAll), 0);
    sockaddr_in a = Loopback(port);
    int rc = SockConnect(s, &a, sizeof a);
    ASSERT_TRUE(rc == 0 || wsa::GetLastError() == wsa::kWouldBlock);
    peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(peer, 0);
    Pump();
    ASSERT_EQ(Events(), "connect 0, write 0");
  }

  TMessageLoop& loop = TMessageLoop::Current();
  TNotifyTarget target = 0;
  std::vector<std::string> events;
  std::vector<WPARAM> tags;
  int listener = -1;
  std::uint16_t port = 0;
  TSocket s = INVALID_SOCKET;
  int peer = -1;
};

TEST_F(AsyncSelectTest, ConnectGivesConnectThenOneWrite) {
  Connected();
  Pump();
  EXPECT_EQ(Events(), "");  // writable all the time, yet no further write notification
  EXPECT_EQ(SelectSocket(tags.front()), s);
  EXPECT_EQ(tags.front(), SockSelectTag(s));
}

TEST_F(AsyncSelectTest, RefusedConnectGivesOnlyTheConnectError) {
  close(listener);
  listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  s = SockCreate(AF_INET, SOCK_STREAM, 0);
  SockAsyncSelect(s, target, SocketEventMessage, kAll);
  sockaddr_in a = Loopback(port);
  int rc = SockConnect(s, &a, sizeof a);
  if (rc != 0 && wsa::GetLastError() != wsa::kWouldBlock) {
    EXPECT_EQ(wsa::GetLastError(), wsa::kConnectionRefused);  // refused at once
    return;
  }
  Pump(100);
  EXPECT_EQ(Events(), "connect 10061");
}

TEST_F(AsyncSelectTest, ReadIsPostedOnceUntilReceiveIsCalled) {
  Connected();
  send(peer, "abc", 3, 0);
  Pump();
  EXPECT_EQ(Events(), "read 0");
  send(peer, "def", 3, 0);
  Pump();
  EXPECT_EQ(Events(), "");  // data waits, but nothing was received yet
  char buf[2];
  EXPECT_EQ(SockRecv(s, buf, 2, 0), 2);
  Pump();
  EXPECT_EQ(Events(), "read 0");  // re-posted: data still waits
  char rest[16];
  EXPECT_EQ(SockRecv(s, rest, sizeof rest, 0), 4);
  Pump();
  EXPECT_EQ(Events(), "");
}

TEST_F(AsyncSelectTest, CloseComesAfterTheLastDataAndOnlyOnce) {
  Connected();
  send(peer, "bye", 3, 0);
  shutdown(peer, SHUT_WR);
  Pump();
  EXPECT_EQ(Events(), "read 0");
  char buf[16];
  EXPECT_EQ(SockRecv(s, buf, sizeof buf, 0), 3);
  Pump();
  EXPECT_EQ(Events(), "close 0");
  EXPECT_EQ(SockRecv(s, buf, sizeof buf, 0), 0);
  Pump();
  EXPECT_EQ(Events(), "");
}

TEST_F(AsyncSelectTest, ResetGivesClose10054) {
  Connected();
  linger l{1, 0};
  setsockopt(peer, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  close(peer);
  peer = -1;
  Pump(100);
  EXPECT_EQ(Events(), "close 10054");
  Pump();
  EXPECT_EQ(Events(), "");
}

TEST_F(AsyncSelectTest, AcceptIsPostedOnceUntilAcceptIsCalled) {
  s = SockCreate(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  ASSERT_EQ(SockBind(s, &a, sizeof a), 0);
  ASSERT_EQ(SockListen(s, 5), 0);
  ASSERT_EQ(
      SockAsyncSelect(s, target, SocketEventMessage, FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE), 0);
  std::size_t len = sizeof a;
  SockGetName(s, &a, &len);
  int c1 = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int c2 = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(connect(c1, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(connect(c2, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  Pump();
  EXPECT_EQ(Events(), "accept 0");
  TSocket first = SockAccept(s, nullptr, nullptr);
  ASSERT_NE(first, INVALID_SOCKET);
  Pump();
  EXPECT_EQ(Events(), "accept 0");
  TSocket second = SockAccept(s, nullptr, nullptr);
  ASSERT_NE(second, INVALID_SOCKET);
  Pump();
  EXPECT_EQ(Events(), "");
  SockClose(first);
  SockClose(second);
  close(c1);
  close(c2);
}

TEST_F(AsyncSelectTest, AdoptedConnectedHandleGetsOneWrite) {
  Connected();
  // Asking again for a connected handle, as adopting an accepted one does.
  ASSERT_EQ(
      SockAsyncSelect(s, target, SocketEventMessage, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE),
      0);
  Pump();
  EXPECT_EQ(Events(), "write 0");
}

TEST_F(AsyncSelectTest, WriteReturnsOnlyAfterWouldBlock) {
  Connected();
  std::string block(65536, 'x');
  std::size_t sent = 0;
  for (int i = 0; i < 100000; ++i) {
    int n = SockSend(s, block.data(), block.size(), 0);
    if (n < 0) {
      ASSERT_EQ(wsa::GetLastError(), wsa::kWouldBlock);
      break;
    }
    sent += static_cast<std::size_t>(n);
  }
  Pump();
  EXPECT_EQ(Events(), "");  // no room yet
  std::string sink(1 << 20, '\0');
  std::size_t drained = 0;
  while (drained < sent) {
    pollfd p{peer, POLLIN, 0};
    if (poll(&p, 1, 2000) != 1) break;
    ssize_t n = recv(peer, sink.data(), sink.size(), 0);
    if (n <= 0) break;
    drained += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(drained, sent);
  Pump(100);
  EXPECT_EQ(Events(), "write 0");
}

// Readiness that stays (unread data, a closed peer, a writable socket) must not keep the
// poller reporting it while nothing consumes it.
TEST_F(AsyncSelectTest, LastingReadinessDoesNotKeepThePollerBusy) {
  Connected();
  send(peer, "unread", 6, 0);
  Pump();
  EXPECT_EQ(Events(), "read 0");
  Pump(30);
  std::uint64_t before = SockReadinessReports();
  Pump(150);
  EXPECT_LE(SockReadinessReports() - before, 1u);

  char buf[16];
  SockRecv(s, buf, sizeof buf, 0);
  close(peer);
  peer = -1;
  Pump();
  EXPECT_EQ(Events(), "close 0");
  Pump(30);
  before = SockReadinessReports();
  Pump(150);
  EXPECT_LE(SockReadinessReports() - before, 1u);
}

TEST_F(AsyncSelectTest, CloseOnlyMaskIgnoresDataButReportsTheEnd) {
  Connected();
  SockAsyncSelect(s, target, SocketEventMessage, FD_CLOSE);
  send(peer, "data", 4, 0);
  Pump(30);
  std::uint64_t before = SockReadinessReports();
  Pump(100);
  EXPECT_LE(SockReadinessReports() - before, 1u);
  EXPECT_EQ(Events(), "");
  close(peer);
  peer = -1;
  Pump();
  EXPECT_EQ(Events(), "close 0");
}

TEST_F(AsyncSelectTest, EmptyMaskStopsNotifications) {
  Connected();
  SockAsyncSelect(s, target, SocketEventMessage, 0);
  EXPECT_FALSE(SockIsSelected(s));
  send(peer, "x", 1, 0);
  Pump();
  EXPECT_EQ(Events(), "");
}

TEST_F(AsyncSelectTest, ANewSocketOnTheSameDescriptorHasANewTag) {
  TSocket first = SockCreate(AF_INET, SOCK_STREAM, 0);
  WPARAM firstTag = SockSelectTag(first);
  SockClose(first);
  TSocket second = SockCreate(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(second, first);                    // the descriptor number is reused ...
  EXPECT_NE(SockSelectTag(second), firstTag);  // ... its notifications are told apart
  SockClose(second);
}

TEST_F(AsyncSelectTest, SendAfterOwnShutdownAndAfterPeerReset) {
  Connected();
  SockShutdown(s, 1);
  EXPECT_EQ(SockSend(s, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(wsa::GetLastError(), wsa::kShutdown);
}

}  // namespace
