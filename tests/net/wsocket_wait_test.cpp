// Waiting while the loop runs: flags, deadlines, quit messages, and waiting for a close.
#include <gtest/gtest.h>
#include <unistd.h>

#include "net/wsocket.h"
#include "net_test_util.h"
#include "platform/application.h"

using namespace nettest;

namespace {

TEST(WaitForFlag, EndsWhenAHandlerSetsTheFlag) {
  TWSocket sock;
  sock.SetMultiThreaded(true);
  volatile std::uint8_t flag = 1;
  TNotifyTarget t = TMessageLoop::Current().AllocateTarget([&](const TMessage&) { flag = 1; });
  int rc = sock.RunAndWait(flag, [&] { PostMessage(t, WM_USER + 99, 0, 0); });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(flag, 1);
  TMessageLoop::Current().ReleaseTarget(t);
}

TEST(WaitForFlag, DeadlineGives12001) {
  TWSocket sock;
  sock.SetMultiThreaded(true);
  sock.SetWaitTimeout(30);
  volatile std::uint8_t flag = 0;
  EXPECT_EQ(sock.WaitForFlag(flag), 12001);
}

TEST(WaitForFlag, AQuitMessageEndsTheWaitAndIsRemembered) {
  TWSocket sock;
  sock.SetMultiThreaded(true);
  volatile std::uint8_t flag = 0;
  PostQuitMessage();
  EXPECT_EQ(sock.WaitForFlag(flag), 12001);
  EXPECT_TRUE(sock.QuitSeen());
}

TEST(WaitUntilClosed, ReturnsOnceThePeerHasClosed) {
  std::uint16_t port = 0;
  int listenFd = PlainListen(port);
  TWSocket sock;
  sock.SetMultiThreaded(true);
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(port));
  sock.Connect();
  int peer = PlainAccept(listenFd);
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsConnected; }));
  close(peer);
  sock.WaitUntilClosed();
  EXPECT_EQ(sock.State(), wsClosed);
  close(listenFd);
}

}  // namespace
