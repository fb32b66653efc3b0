// A client connection through its whole life: connect, notifications, closing, failures.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "plain_peer_fixture.h"

using namespace nettest;

namespace {

class ClientTest : public PlainPeerTest {};

TEST_F(ClientTest, ConnectSequenceAndExactlyOneWriteNotification) {
  ConnectAndAccept();
  PumpFor(100);
  EXPECT_EQ(log.Joined(), "state 7>1, state 1>3, state 3>4, connected 0, sent 0");
  EXPECT_EQ(sock.PeerPort(), std::to_string(port));
  EXPECT_EQ(sock.PeerAddr(), "127.0.0.1");
  EXPECT_EQ(sock.LocalBoundAddr(), "127.0.0.1");
}

TEST_F(ClientTest, RefusedConnectReportsTheErrorThenClosesWithZero) {
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(UnusedPort()));
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); }));
  PumpFor(50);
  EXPECT_EQ(log.Joined(), "state 7>1, state 1>3, state 3>4, connected 10061, state 4>7, closed 0");
  EXPECT_EQ(sock.State(), wsClosed);
  EXPECT_EQ(sock.HSocket(), INVALID_SOCKET);
}

TEST_F(ClientTest, ConnectChecksItsSettingsInOrder) {
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }), "Connect: No Port Specified");
  sock.SetPort("110");
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }), "Connect: No IP Address Specified");
  sock.SetAddr("127.0.0.1");
  sock.SetProto("");
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }), "Connect: No Protocol Specified");
  sock.SetProto("nonsense");
  EXPECT_EQ(ErrorOf([&] {
              sock.Connect();
            }).rfind("connect: WSocketResolveProto: Cannot convert protocol 'nonsense'", 0),
            0u);
  EXPECT_EQ(sock.State(), wsClosed);
}

TEST_F(ClientTest, OnErrorReplacesTheException) {
  int errors = 0;
  sock.OnError = [&](TCustomWSocket*) { ++errors; };
  sock.Connect();
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(sock.State(), wsClosed);
}

TEST_F(ClientTest, AfterACloseAddrAndPortMustBeSetAgain) {
  ConnectAndAccept();
  sock.Close();
  EXPECT_EQ(sock.Addr(), "127.0.0.1");  // the text is kept ...
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }), "Connect: No Port Specified");  // ... unassigned
  EXPECT_EQ(sock.LingerOnOff(), wsLingerOn);
  EXPECT_TRUE(sock.SendComplete());
}

TEST_F(ClientTest, SettersRefuseChangesWhileOpenButAcceptTheSameText) {
  ConnectAndAccept();
  const std::string portText = std::to_string(port);
  EXPECT_EQ(ErrorOf([&] { sock.SetPort(portText); }), "no exception");
  EXPECT_EQ(ErrorOf([&] { sock.SetPort("1"); }), "Cannot change Port if not closed");
  EXPECT_EQ(sock.Port(), portText);
  EXPECT_EQ(ErrorOf([&] { sock.SetAddr("10.0.0.1"); }), "Cannot change Addr if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.SetProto("udp"); }), "Cannot change Proto if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.SetLocalPort("5"); }), "Cannot change LocalPort if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.SetLocalAddr("1.2.3.4"); }),
            "Cannot change LocalAddr if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }), "Connect: Socket already in use");
}

TEST_F(ClientTest, SetterTextsAreTrimmedAndEmptyLocalAddrMeansAny) {
  sock.SetAddr("  host  ");
  EXPECT_EQ(sock.Addr(), "host");
  sock.SetLocalAddr("");
  EXPECT_EQ(sock.LocalAddr(), "0.0.0.0");
  sock.SetLocalPort(" 7 ");
  EXPECT_EQ(sock.LocalPort(), " 7 ");
}

TEST_F(ClientTest, SendFlagsAcceptOnlyTheTwoKnownValues) {
  sock.SetSendFlags(wsSendUrgent);
  EXPECT_EQ(sock.SendFlags(), wsSendUrgent);
  EXPECT_EQ(ErrorOf([&] { sock.SetSendFlags(static_cast<TSocketSendFlags>(7)); }),
            "Invalid SendFlags");
  EXPECT_EQ(sock.SendFlags(), wsSendUrgent);
}

TEST_F(ClientTest, CloseByTheClientFiresStateThenClosed) {
  ConnectAndAccept();
  PumpFor(20);
  log.events.clear();
  sock.Close();
  EXPECT_EQ(log.Joined(), "state 4>7, closed 0");
  EXPECT_EQ(ReadToEnd(peer), "");  // the peer sees the end of the stream
  PumpFor(30);
  EXPECT_EQ(log.Count("closed 0"), 1);
}

TEST_F(ClientTest, PeerCloseDeliversUnreadDataFirstAndClosesOnce) {
  ConnectAndAccept();
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    got += s->ReceiveText();
    log.events.push_back("data");
  };
  SendAll(peer, "last words");
  shutdown(peer, SHUT_WR);
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  PumpFor(30);
  EXPECT_EQ(got, "last words");
  const std::string joined = log.Joined();
  EXPECT_LT(joined.find("data"), joined.find("closed 0")) << joined;
  EXPECT_EQ(log.Count("closed 0"), 1);
}

TEST_F(ClientTest, UnreadDataIsStillOfferedWithNoReceiveLoop) {
  ConnectAndAccept();
  sock.SetComponentOptions({wsoNoReceiveLoop});
  std::string got;
  // Reads a few bytes per call: the close still drains everything before OnSessionClosed.
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    char buf[3];
    int n = s->Receive(buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
  };
  std::string closedWith;
  sock.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { closedWith = got; };
  SendAll(peer, "0123456789abcdef");
  close(peer);
  peer = -1;
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(closedWith, "0123456789abcdef");
}

TEST_F(ClientTest, PeerResetIsReportedAs10054) {
  ConnectAndAccept();
  CloseWithReset(peer);
  peer = -1;
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  PumpFor(30);
  EXPECT_EQ(log.Count("closed 10054"), 1) << log.Joined();
}

TEST_F(ClientTest, ReadNotificationIsNotRepeatedWhileDataStaysUnread) {
  ConnectAndAccept();
  int calls = 0;
  sock.SetComponentOptions({wsoNoReceiveLoop});
  // Reads nothing on the first call, which is a legal way to leave data waiting.
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    if (++calls > 1) got += s->ReceiveText();
  };
  SendAll(peer, "abc");
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  SendAll(peer, "def");
  PumpFor(100);
  EXPECT_EQ(calls, 1);  // nothing was read, so no further notification
  // A read re-enables the notification: the next one reads everything.
  char c;
  ASSERT_EQ(sock.Receive(&c, 1), 1);
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
  EXPECT_EQ(got, "bcdef");
  EXPECT_EQ(sock.ReadCount(), 6);
}

TEST_F(ClientTest, HandlerThatReadsNothingIsCalledAgainInTheSameLoop) {
  ConnectAndAccept();
  int calls = 0;
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    if (++calls < 3) return;
    got += s->ReceiveText();
  };
  SendAll(peer, "xyz");
  ASSERT_TRUE(PumpUntil([&] { return got == "xyz"; }));
  EXPECT_EQ(calls, 3);
}

TEST_F(ClientTest, DataWithoutHandlerIsDiscarded) {
  ConnectAndAccept();
  SendAll(peer, std::string(5000, 'x'));
  PumpFor(100);
  unsigned long ready = 0;
  EXPECT_EQ(SockBytesReady(sock.HSocket(), &ready), 0);
  EXPECT_EQ(ready, 0u);
}

TEST_F(ClientTest, ReceiveTextReadsUpTo255WhenNothingIsAnnounced) {
  ConnectAndAccept();
  EXPECT_EQ(sock.ReceiveText(), "");  // nothing there: would block, empty text
  EXPECT_EQ(sock.LastError(), 10035);
}

TEST_F(ClientTest, ExceptionInDataHandlerOnlyEndsTheReceiveLoop) {
  ConnectAndAccept();
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    s->ReceiveText();
    throw ESocketException("handler failed");
  };
  bool bg = false;
  sock.OnBgException = [&](TCustomWSocket*, const std::exception&, bool&) { bg = true; };
  SendAll(peer, "hello");
  PumpFor(100);
  EXPECT_FALSE(bg);
  EXPECT_EQ(sock.State(), wsConnected);
}

TEST_F(ClientTest, ExceptionInConnectedHandlerAbortsUnlessKept) {
  sock.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t) { throw ESocketException("boom"); };
  std::string seen;
  sock.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool&) { seen = e.what(); };
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(port));
  sock.Connect();
  peer = PlainAccept(listenFd);
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(seen, "boom");
}

TEST_F(ClientTest, BackgroundErrorHandlerMayKeepTheSocketOpen) {
  ConnectAndAccept();
  std::string seen;
  sock.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& canClose) {
    seen = e.what();
    canClose = false;
  };
  PostMessage(sock.NotifyWindow(), TestExceptionMessage, 0, 0);
  PumpFor(30);
  EXPECT_EQ(seen, "Test exception in WSocket");
  EXPECT_EQ(sock.State(), wsConnected);
}

TEST_F(ClientTest, CloseLaterClosesFromTheLoop) {
  ConnectAndAccept();
  sock.CloseLater();
  EXPECT_EQ(sock.State(), wsConnected);
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
}

TEST_F(ClientTest, CloseInsideDataHandlerEndsTheSessionOnce) {
  ConnectAndAccept();
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    s->ReceiveText();
    s->Close();
  };
  SendAll(peer, "a");
  shutdown(peer, SHUT_WR);  // a close notification may follow; it must not count twice
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  PumpFor(50);
  EXPECT_EQ(log.Count("closed 0"), 1) << log.Joined();
}

TEST_F(ClientTest, ReleaseLaterFromAHandlerFreesTheSocketSafely) {
  auto* s = new TWSocket;
  bool released = false;
  s->SetAddr("127.0.0.1");
  s->SetPort(std::to_string(port));
  s->OnDataAvailable = [&](TCustomWSocket* self, std::uint16_t) {
    self->ReceiveText();
    TCustomWSocket::ReleaseLater(std::unique_ptr<TCustomWSocket>(self));
  };
  s->OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) {};
  int before = WSocketInstanceCount();
  s->Connect();
  peer = PlainAccept(listenFd);
  SendAll(peer, "bye");
  close(peer);
  peer = -1;
  released = PumpUntil([&] { return WSocketInstanceCount() == before - 1; });
  EXPECT_TRUE(released);
}

// A socket its owner holds in a unique_ptr is handed over: freed once, by the loop.
TEST_F(ClientTest, ReleaseLaterTakesTheSocketFromItsOwner) {
  auto owned = std::make_unique<TWSocket>();
  int before = WSocketInstanceCount();
  owned->OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) {};
  TCustomWSocket::ReleaseLater(std::move(owned));
  EXPECT_EQ(owned, nullptr);
  EXPECT_EQ(WSocketInstanceCount(), before);
  EXPECT_TRUE(PumpUntil([&] { return WSocketInstanceCount() == before - 1; }));
  PumpFor(20);
  EXPECT_EQ(WSocketInstanceCount(), before - 1);
}

// Freed by another hand (a teardown that deletes what it made with `new`) while its release is
// still queued: freed once, and the queued release finds nothing to free.
TEST_F(ClientTest, ASocketFreedWhileItsReleaseIsPendingIsFreedOnce) {
  auto* s = new TWSocket;
  int before = WSocketInstanceCount();
  TCustomWSocket::ReleaseLater(std::unique_ptr<TCustomWSocket>(s));
  delete s;
  EXPECT_EQ(WSocketInstanceCount(), before - 1);
  PumpFor(30);
  EXPECT_EQ(WSocketInstanceCount(), before - 1);
}

TEST_F(ClientTest, DeletingTheSocketInsideItsHandlerStopsFurtherEvents) {
  auto* s = new TWSocket;
  int closedEvents = 0;
  s->SetAddr("127.0.0.1");
  s->SetPort(std::to_string(port));
  s->OnDataAvailable = [&](TCustomWSocket* self, std::uint16_t) { delete self; };
  s->OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { ++closedEvents; };
  int before = WSocketInstanceCount();
  s->Connect();
  peer = PlainAccept(listenFd);
  SendAll(peer, "x");
  ASSERT_TRUE(PumpUntil([&] { return WSocketInstanceCount() == before - 1; }));
  EXPECT_EQ(closedEvents, 0);  // destruction fires no OnSessionClosed
}

TEST_F(ClientTest, PauseEventsHoldsNotificationsUntilResumed) {
  ConnectAndAccept();
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
  sock.PauseEvents();
  SendAll(peer, "held");
  PumpFor(60);
  EXPECT_EQ(got, "");
  sock.ResumeEvents();
  ASSERT_TRUE(PumpUntil([&] { return got == "held"; }));
}

TEST_F(ClientTest, CloseWhilePausedIsReportedAfterResuming) {
  ConnectAndAccept();
  PumpFor(20);
  sock.PauseEvents();
  close(peer);
  peer = -1;
  PumpFor(60);
  EXPECT_EQ(sock.State(), wsConnected);
  sock.ResumeEvents();
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(log.Count("closed 0"), 1);
}

TEST_F(ClientTest, LocalPortBindsTheClientEnd) {
  std::uint16_t local = UnusedPort();
  sock.SetLocalPort(std::to_string(local));
  sock.SetLocalAddr("127.0.0.1");
  ConnectAndAccept();
  EXPECT_EQ(sock.LocalBoundPort(), std::to_string(local));
  EXPECT_EQ(sock.LocalPort(), std::to_string(local));
}

TEST_F(ClientTest, PeerNamesAreErrorWhenNotConnected) {
  EXPECT_EQ(sock.PeerAddr(), "error");
  EXPECT_EQ(sock.PeerPort(), "error");
  EXPECT_EQ(sock.LocalBoundAddr(), "error");
  TSockAddrIn a;
  std::int32_t len = sizeof a;
  EXPECT_EQ(sock.ReadPeerName(a, len), -1);
}

TEST(WSocketDatagram, ConnectsAtOnceAndSendsToTheAddress) {
  int rx = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(rx, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  getsockname(rx, reinterpret_cast<sockaddr*>(&a), &len);
  TWSocket s;
  TEventLog log;
  log.Attach(s);
  s.SetProto("udp");
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(ntohs(a.sin_port)));
  s.Connect();
  EXPECT_EQ(log.Joined(), "state 7>1, state 1>4, connected 0");
  EXPECT_EQ(s.SendText("datagram"), 8);
  char buf[32];
  ssize_t n = recv(rx, buf, sizeof buf, 0);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "datagram");
  close(rx);
}

}  // namespace
