// Listening, accepting and adopting the accepted handle, as the local service does.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "event_log.h"
#include "net/wsocket.h"
#include "net_test_util.h"

using namespace nettest;

namespace {

class ListenTest : public ::testing::Test {
 protected:
  void SetUp() override { log.Attach(server); }
  void TearDown() override {
    for (int fd : clients) close(fd);
  }
  // Listens on an ephemeral loopback port and returns it.
  std::uint16_t StartListening(const std::string& addr = "localhost") {
    server.SetAddr(addr);
    server.SetPort("0");
    server.Listen();
    return static_cast<std::uint16_t>(std::stoi(server.LocalBoundPort()));
  }
  // The local service's way: take the connection into the listening object itself.
  void AdoptOnArrival() {
    server.OnSessionAvailable = [this](TCustomWSocket* s, std::uint16_t) {
      log.events.push_back("available");
      TSocket h = s->Accept();
      s->Dup(h);
      s->SendText("+OK hello\r\n");
    };
  }
  int Client(std::uint16_t port) {
    int fd = PlainConnect(port);
    if (fd >= 0) clients.push_back(fd);
    return fd;
  }

  TWSocket server;
  TEventLog log;
  std::vector<int> clients;
};

TEST_F(ListenTest, LocalhostBindsLoopbackAndListens) {
  std::uint16_t port = StartListening();
  EXPECT_EQ(log.Joined(), "state 7>2, state 2>6");
  EXPECT_NE(port, 0);
  EXPECT_EQ(server.LocalBoundAddr(), "127.0.0.1");
  EXPECT_EQ(server.State(), wsListening);
}

TEST_F(ListenTest, OneSessionAdoptedIntoTheListeningObject) {
  AdoptOnArrival();
  std::string got;
  server.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
  std::uint16_t port = StartListening();
  log.events.clear();
  int c = Client(port);
  ASSERT_GE(c, 0);
  ASSERT_TRUE(PumpUntil([&] { return server.State() == wsConnected; }));
  EXPECT_EQ(ReadBytes(c, 11), "+OK hello\r\n");
  EXPECT_EQ(server.State(), wsConnected);
  EXPECT_EQ(log.Joined(), "available, state 6>7, state 7>4");
  ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
  sockaddr_in local{};
  socklen_t len = sizeof local;
  getsockname(c, reinterpret_cast<sockaddr*>(&local), &len);
  EXPECT_EQ(server.PeerAddr(), "127.0.0.1");
  EXPECT_EQ(server.PeerPort(), std::to_string(ntohs(local.sin_port)));

  // Nothing listens while the session lasts.
  EXPECT_LT(PlainConnect(port), 0);
  EXPECT_EQ(errno, ECONNREFUSED);

  SendAll(c, "QUIT\r\n");
  shutdown(c, SHUT_WR);
  ASSERT_TRUE(PumpUntil([&] { return server.State() == wsClosed; }));
  EXPECT_EQ(got, "QUIT\r\n");
  EXPECT_EQ(log.Count("closed 0"), 1);
  // The close reset the object: Addr and Port must be set again before listening.
  EXPECT_EQ(ErrorOf([&] { server.Listen(); }),
            "Error 10022 in function listen: port not assigned\r\nInvalid argument");
  EXPECT_EQ(server.HSocket(), INVALID_SOCKET);
}

TEST_F(ListenTest, UnacceptedConnectionWaitsAndIsAnnouncedOnce) {
  int announced = 0;
  server.OnSessionAvailable = [&](TCustomWSocket*, std::uint16_t) { ++announced; };
  std::uint16_t port = StartListening();
  ASSERT_GE(Client(port), 0);
  ASSERT_GE(Client(port), 0);
  ASSERT_TRUE(PumpUntil([&] { return announced == 1; }));
  PumpFor(80);
  EXPECT_EQ(announced, 1);  // not again until Accept is called
  TSocket h = server.Accept();
  ASSERT_NE(h, INVALID_SOCKET);
  SockClose(h);
  ASSERT_TRUE(PumpUntil([&] { return announced == 2; }));  // the second one waits still
  EXPECT_EQ(server.State(), wsListening);
}

TEST_F(ListenTest, PortInUseReportsBindAndLeavesTheObjectClosed) {
  std::uint16_t taken = 0;
  int other = PlainListen(taken);
  ASSERT_GE(other, 0);
  server.SetAddr("127.0.0.1");
  server.SetPort(std::to_string(taken));
  EXPECT_EQ(ErrorOf([&] { server.Listen(); }),
            "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(server.State(), wsClosed);
  EXPECT_EQ(server.HSocket(), INVALID_SOCKET);
  EXPECT_EQ(log.Joined(), "");
  close(other);
  // Settings are kept after the failure: listening again works once the port is free.
  server.Listen();
  EXPECT_EQ(server.State(), wsListening);
}

TEST_F(ListenTest, OnErrorReceivesListenFailures) {
  int errors = 0;
  server.OnError = [&](TCustomWSocket* s) {
    ++errors;
    EXPECT_EQ(s->LastError(), 10022);
  };
  server.Listen();
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(server.HSocket(), INVALID_SOCKET);
}

TEST_F(ListenTest, AcceptOnANonListeningSocketFails) {
  EXPECT_EQ(ErrorOf([&] { server.Accept(); }),
            "Error 10022 in function not a listening socket\r\nInvalid argument");
  server.OnError = [](TCustomWSocket*) {};
  EXPECT_EQ(server.Accept(), INVALID_SOCKET);
}

TEST_F(ListenTest, DupRefusesInvalidHandlesAndChangesNothing) {
  StartListening();
  log.events.clear();
  EXPECT_EQ(ErrorOf([&] { server.Dup(INVALID_SOCKET); }),
            "Error 10022 in function Dup\r\nInvalid argument");
  EXPECT_EQ(ErrorOf([&] { server.Dup(0); }), "Error 10022 in function Dup\r\nInvalid argument");
  EXPECT_EQ(server.State(), wsListening);
  EXPECT_EQ(log.Joined(), "");
}

// The earlier handle cannot be closed (closed behind the object's back here): the adoption
// fails and the handle offered is closed, not left open with nobody to close it.
TEST_F(ListenTest, DupThatCannotCloseTheEarlierHandleClosesTheOfferedOne) {
  StartListening();
  int offered = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(offered, 0);
  ASSERT_EQ(close(server.HSocket()), 0);
  EXPECT_EQ(ErrorOf([&] { server.Dup(offered); }),
            "Error 10009 in function Dup (closesocket)\r\nBad file number");
  errno = 0;
  EXPECT_EQ(fcntl(offered, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST_F(ListenTest, ListeningTwiceIsRefusedInsteadOfLeakingTheHandle) {
  StartListening();
  TSocket before = server.HSocket();
  EXPECT_EQ(ErrorOf([&] { server.Listen(); }), "listen: Socket already in use");
  EXPECT_EQ(server.HSocket(), before);
}

TEST_F(ListenTest, AbortClosesTheListeningHandle) {
  std::uint16_t port = StartListening();
  server.Abort();
  EXPECT_EQ(server.State(), wsClosed);
  EXPECT_EQ(log.Count("closed 0"), 1);
  EXPECT_LT(PlainConnect(port), 0);
}

// The first adopted session closes gracefully (LingerOff as the form stores it); every
// close resets the object to LingerOn with time 0, so later sessions end with a reset.
TEST_F(ListenTest, LingerAcrossSessions) {
  server.SetLingerOnOff(wsLingerOff);
  server.OnSessionAvailable = [](TCustomWSocket* s, std::uint16_t) { s->Dup(s->Accept()); };
  auto session = [&]() -> int {
    std::uint16_t port = StartListening();
    int c = Client(port);
    EXPECT_TRUE(PumpUntil([&] { return server.State() == wsConnected; }));
    server.Close();
    // The peer sees the end of the stream either way; after a reset its next send fails.
    pollfd p{c, POLLIN, 0};
    poll(&p, 1, 2000);
    char buf[4];
    if (recv(c, buf, sizeof buf, MSG_DONTWAIT) < 0) return errno;
    PumpFor(20);
    return send(c, "x", 1, MSG_NOSIGNAL) < 0 ? errno : 0;
  };
  EXPECT_EQ(session(), 0);
  EXPECT_EQ(server.LingerOnOff(), wsLingerOn);
  int second = session();
  EXPECT_TRUE(second == ECONNRESET || second == EPIPE) << second;
}

TEST_F(ListenTest, DatagramListenIsConnectedAtOnce) {
  server.SetProto("udp");
  std::string got;
  server.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    char buf[64];
    TSockAddrIn from;
    std::int32_t len = sizeof from;
    int n = s->ReceiveFrom(buf, sizeof buf, from, len);
    if (n > 0) got.assign(buf, static_cast<std::size_t>(n));
  };
  std::uint16_t port = StartListening("127.0.0.1");
  EXPECT_EQ(log.Joined(), "state 7>2, state 2>6, state 6>4, connected 0");
  int tx = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(tx, "ping", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  close(tx);
  ASSERT_TRUE(PumpUntil([&] { return got == "ping"; }));
}

}  // namespace
