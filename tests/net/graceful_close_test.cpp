// Ending a connection after the last reply: the peer gets every byte and an orderly end, also
// when it sent more that nobody read, and the wait for it is bounded.

#include "net/graceful_close.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "net/wsocket.h"
#include "net_test_util.h"

using namespace nettest;

namespace {

struct TPeerEnd {
  std::string received;
  int lastRecvError = 0;  // errno of the read that ended the connection; 0: an orderly end
};

// Reads until the connection ends, and says how it ended.
TPeerEnd ReadUntilTheEnd(int fd) {
  TPeerEnd end;
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) != 1) {
      end.lastRecvError = ETIMEDOUT;
      return end;
    }
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n == 0) return end;
    if (n < 0) {
      end.lastRecvError = errno;
      return end;
    }
    end.received.append(buf, static_cast<std::size_t>(n));
  }
}

class GracefulCloseTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (fd >= 0) close(fd);
  }
  // A connection adopted into the listening object, as the local service takes its sessions;
  // the reply is on its way when this returns.
  void ConnectAndReply(const std::string& reply) {
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.OnSessionAvailable = [](TCustomWSocket* s, std::uint16_t) { s->Dup(s->Accept()); };
    server.Listen();
    fd = PlainConnect(static_cast<std::uint16_t>(std::stoi(server.LocalBoundPort())));
    ASSERT_TRUE(PumpUntil([&] { return server.State() == wsConnected; }));
    server.SendText(reply);
    ASSERT_TRUE(PumpUntil([&] { return server.SendComplete(); }));
  }

  TWSocket server;
  int fd = -1;
};

TEST_F(GracefulCloseTest, UnreadInputIsDroppedAndThePeerSeesTheReplyAndAnOrderlyEnd) {
  ConnectAndReply("+OK bye\r\n");
  // Sent after the last command: in the receive buffer at the close, and more while closing.
  SendAll(fd, "QUIT\r\nNOOP\r\n" + std::string(20000, 'x'));
  TPeerEnd end;
  std::thread peer([&] {
    SendAll(fd, std::string(200000, 'y'));
    end = ReadUntilTheEnd(fd);
    close(fd);
  });
  const bool peerEnded = DrainAndClose(server);
  peer.join();
  fd = -1;
  EXPECT_TRUE(peerEnded);
  EXPECT_EQ(server.State(), wsClosed);
  EXPECT_EQ(end.received, "+OK bye\r\n");
  EXPECT_EQ(end.lastRecvError, 0) << "the connection was reset";
}

TEST_F(GracefulCloseTest, APeerThatNeitherClosesNorStopsIsNotWaitedForBeyondTheLimits) {
  ConnectAndReply("+OK bye\r\n");
  // Keeps its side open: only the time limit ends the wait.
  EXPECT_FALSE(DrainAndClose(server, {100, std::size_t{1} << 20}));
  EXPECT_EQ(server.State(), wsClosed);
  EXPECT_EQ(ReadBytes(fd, 9), "+OK bye\r\n");
  close(fd);

  // Goes on sending: the size limit ends it.
  ConnectAndReply("+OK bye\r\n");
  SendAll(fd, std::string(50000, 'z'));
  EXPECT_FALSE(DrainAndClose(server, {10000, 1000}));
  EXPECT_EQ(server.State(), wsClosed);
}

TEST_F(GracefulCloseTest, ASocketThatIsNotConnectedIsOnlyClosed) {
  server.SetAddr("127.0.0.1");
  server.SetPort("0");
  server.Listen();
  EXPECT_FALSE(DrainAndClose(server));
  EXPECT_EQ(server.State(), wsClosed);
}

}  // namespace
