// The SOCKS client negotiation against scripted servers on loopback, one per reply path.
#include <gtest/gtest.h>

#include <random>

#include "net/wsocket.h"
#include "net_test_util.h"
#include "scripted_peer.h"

using namespace nettest;

namespace {

class SocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sock.OnSocksConnected = [this](TCustomWSocket*, std::uint16_t e) {
      log.push_back("socks connected " + std::to_string(e));
    };
    sock.OnSocksError = [this](TCustomWSocket*, std::int32_t e, const std::string& m) {
      log.push_back("socks error " + std::to_string(e) + " " + m);
    };
    sock.OnSocksAuthState = [this](TCustomWSocket*, TSocksAuthState a) {
      log.push_back("auth " + std::to_string(a));
    };
    sock.OnSessionConnected = [this](TCustomWSocket*, std::uint16_t e) {
      log.push_back("connected " + std::to_string(e));
    };
    sock.OnSessionClosed = [this](TCustomWSocket*, std::uint16_t e) {
      log.push_back("closed " + std::to_string(e));
    };
    sock.OnDataAvailable = [this](TCustomWSocket* s, std::uint16_t) {
      std::string t = s->ReceiveText();
      if (!t.empty()) {
        data += t;
        log.push_back("data " + t);
      }
    };
  }
  void ConnectThrough(const std::string& level, const std::string& addr = "target.example") {
    peer.Start();
    sock.SetSocksLevel(level);
    sock.SetSocksServer("127.0.0.1");
    sock.SetSocksPort(std::to_string(peer.Port()));
    sock.SetAddr(addr);
    sock.SetPort("110");
    sock.Connect();
  }
  std::string Log() const {
    std::string out;
    for (const auto& x : log) out += (out.empty() ? "" : ", ") + x;
    return out;
  }
  bool WaitFor(const std::string& entry) {
    return PumpUntil([&] {
      for (const auto& x : log)
        if (x == entry) return true;
      return false;
    });
  }

  TScriptedPeer peer;
  TWSocket sock;
  std::vector<std::string> log;
  std::string data;
};

const std::string kV5Request = Bytes({5, 1, 0, 3, 14}) + "target.example" + Bytes({0, 110});

TEST_F(SocksTest, Version5WithoutAuthentication) {
  peer.Read(3)
      .Write(Bytes({5, 0}))
      .Read(kV5Request.size())
      .Write(Bytes({5, 0, 0, 1, 10, 1, 2, 3, 0x12, 0x34}) + "+OK ready\r\n");
  ConnectThrough("5");
  ASSERT_TRUE(PumpUntil([&] { return data == "+OK ready\r\n"; }));
  EXPECT_EQ(Log(), "socks connected 0, connected 0, data +OK ready\r\n");
  EXPECT_EQ(sock.SocksBoundAddr(), "10.1.2.3");
  EXPECT_EQ(sock.SocksBoundPort(), std::to_string(0x1234));
  sock.SendText("QUIT\r\n");
  PumpFor(20);
  sock.Close();
  EXPECT_EQ(peer.Finish(), Bytes({5, 1, 0}) + kV5Request + "QUIT\r\n");
  // Every close forgets the server: the next connect goes direct unless it is set again.
  EXPECT_EQ(sock.SocksServer(), "");
}

TEST_F(SocksTest, Version5BoundAddressAsAName) {
  peer.Read(3)
      .Write(Bytes({5, 0}))
      .Read(kV5Request.size())
      .Write(Bytes({5, 0, 0, 3, 4}) + "host" + Bytes({0, 25}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("connected 0"));
  EXPECT_EQ(sock.SocksBoundAddr(), "host");
  EXPECT_EQ(sock.SocksBoundPort(), "25");
}

TEST_F(SocksTest, Version5UsernameAndPassword) {
  sock.SetSocksAuthentication(socksAuthenticateUsercode);
  sock.SetSocksUsercode("bob");
  sock.SetSocksPassword("secret");
  const std::string credentials = Bytes({1, 3}) + "bob" + Bytes({6}) + "secret";
  peer.Read(3)
      .Write(Bytes({5, 2}))
      .Read(credentials.size())
      .Write(Bytes({1, 0}))
      .Read(kV5Request.size())
      .Write(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("connected 0"));
  EXPECT_EQ(Log(), "socks connected 0, auth 0, auth 1, connected 0");
  sock.Close();
  EXPECT_EQ(peer.Finish(), Bytes({5, 1, 2}) + credentials + kV5Request);
}

TEST_F(SocksTest, Version5OfferedMethodNotNeeded) {
  sock.SetSocksAuthentication(socksAuthenticateUsercode);
  peer.Read(3)
      .Write(Bytes({5, 0}))
      .Read(kV5Request.size())
      .Write(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("connected 0"));
  EXPECT_EQ(Log(), "socks connected 0, auth 3, connected 0");
}

TEST_F(SocksTest, Version5AuthenticationRefused) {
  sock.SetSocksAuthentication(socksAuthenticateUsercode);
  peer.Read(3).Write(Bytes({5, 2})).Read(3).Write(Bytes({1, 1}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("closed 20015"));
  EXPECT_EQ(Log(),
            "socks connected 0, auth 0, socks error 20015 socks authentication failed, "
            "connected 20015, closed 20015");
  EXPECT_EQ(sock.State(), wsClosed);
}

TEST_F(SocksTest, ServerClosingDuringAuthenticationRejectsIt) {
  sock.SetSocksAuthentication(socksAuthenticateUsercode);
  peer.Read(3).Write(Bytes({5, 2})).Read(3).Close();
  ConnectThrough("5");
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(Log(), "socks connected 0, auth 0, auth 2, closed 0");
}

TEST_F(SocksTest, Version5ReplyCodes) {
  struct TCase {
    int code;
    std::string expected;
  };
  for (const TCase& c :
       {TCase{1, "20004 general SOCKS server failure"}, TCase{5, "20008 connection refused"},
        TCase{8, "20011 address type not supported"}, TCase{42, "20012 unassigned error #42"}}) {
    TScriptedPeer server;
    server.Read(3).Write(Bytes({5, 0})).Read(kV5Request.size()).Write(Bytes({5, c.code}));
    server.Start();
    TWSocket s;
    std::vector<std::string> events;
    s.OnSocksError = [&](TCustomWSocket*, std::int32_t e, const std::string& m) {
      events.push_back(std::to_string(e) + " " + m);
    };
    s.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) {
      events.push_back("connected " + std::to_string(e));
    };
    s.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t e) {
      events.push_back("closed " + std::to_string(e));
    };
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(std::to_string(server.Port()));
    s.SetAddr("target.example");
    s.SetPort("110");
    s.Connect();
    ASSERT_TRUE(PumpUntil([&] { return s.State() == wsClosed; })) << c.code;
    const std::string code = c.expected.substr(0, 5);
    EXPECT_EQ(events, (std::vector<std::string>{c.expected, "connected " + code, "closed " + code}))
        << c.code;
  }
}

TEST_F(SocksTest, Version5ProtocolErrors) {
  peer.Read(3).Write(Bytes({4, 0}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("closed 20002"));
  EXPECT_EQ(Log(),
            "socks connected 0, socks error 20002 socks version error, connected 20002, "
            "closed 20002");
}

TEST_F(SocksTest, Version5NoAcceptableMethod) {
  peer.Read(3).Write(Bytes({5, 0xff}));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("closed 20003"));
  EXPECT_TRUE(WaitFor("socks error 20003 authentification method not acceptable"));
}

TEST_F(SocksTest, Version5BoundNameTooLongForTheReplyBufferFailsInsteadOfWaiting) {
  peer.Read(3)
      .Write(Bytes({5, 0}))
      .Read(kV5Request.size())
      .Write(Bytes({5, 0, 0, 3, 200}) + std::string(100, 'n'));
  ConnectThrough("5");
  ASSERT_TRUE(WaitFor("closed 20013"));
}

TEST_F(SocksTest, Version4GrantedWithDataAfterTheReply) {
  const std::string request = Bytes({4, 1, 0, 110, 10, 1, 2, 3}) + "user" + Bytes({0});
  sock.SetSocksUsercode("user");
  peer.Read(request.size()).Write(Bytes({0, 90, 0, 0, 0, 0, 0, 0}) + "hello");
  ConnectThrough("4", "10.1.2.3");
  ASSERT_TRUE(PumpUntil([&] { return data == "hello"; }));
  EXPECT_EQ(Log(), "socks connected 0, connected 0, data hello");
  sock.Close();
  EXPECT_EQ(peer.Finish(), request);
}

TEST_F(SocksTest, Version4AAsksTheServerToResolve) {
  const std::string request =
      Bytes({4, 1, 0, 110, 0, 0, 0, 1}) + "u" + Bytes({0}) + "target.example" + Bytes({0});
  sock.SetSocksUsercode("u");
  peer.Read(request.size()).Write(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
  ConnectThrough("4a");
  ASSERT_TRUE(WaitFor("connected 0"));
  sock.Close();
  EXPECT_EQ(peer.Finish(), request);
}

TEST_F(SocksTest, Version4Refusals) {
  struct TCase {
    int code;
    std::string expected;
  };
  for (const TCase& c :
       {TCase{91, "20016 request rejected or failed"}, TCase{92, "20008 connection refused"},
        TCase{93, "20015 authentification failed"}, TCase{99, "20012 unassigned error #99"}}) {
    TScriptedPeer server;
    server.Read(9).Write(Bytes({0, c.code, 0, 0, 0, 0, 0, 0}));
    server.Start();
    TWSocket s;
    std::string error;
    int closedWith = -1;
    s.OnSocksError = [&](TCustomWSocket*, std::int32_t e, const std::string& m) {
      error = std::to_string(e) + " " + m;
    };
    s.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t e) { closedWith = e; };
    s.SetSocksLevel("4");
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(std::to_string(server.Port()));
    s.SetAddr("10.1.2.3");
    s.SetPort("110");
    s.Connect();
    ASSERT_TRUE(PumpUntil([&] { return closedWith >= 0; })) << c.code;
    EXPECT_EQ(error, c.expected);
    EXPECT_EQ(std::to_string(closedWith), c.expected.substr(0, 5));
  }
}

TEST_F(SocksTest, Version4NeedsAnAddressItCanResolve) {
  const std::string name(257, 'a');  // refused by the resolver without asking anyone
  ConnectThrough("4", name);
  ASSERT_TRUE(WaitFor("closed 20017"));
  EXPECT_EQ(Log(), "socks connected 0, socks error 20017 ESocketException WSocketResolveHost: '" +
                       name + "' Invalid Hostname., closed 20017");
  EXPECT_EQ(peer.Finish(), "");  // nothing was sent
}

TEST_F(SocksTest, UnreachableServerReportsTheConnectError) {
  sock.SetSocksServer("127.0.0.1");
  sock.SetSocksPort(std::to_string(UnusedPort()));
  sock.SetAddr("target.example");
  sock.SetPort("110");
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(Log(), "socks connected 10061, connected 10061, closed 0");
}

// A rude server: random replies, then it hangs up. The socket must end closed every time,
// with nothing read out of bounds (the sanitizer build watches that).
TEST(SocksRudeServer, RandomRepliesNeverHangOrCrash) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 60; ++round) {
    const bool v5 = round % 2 == 0;
    std::string reply;
    if (v5) reply = Bytes({5, static_cast<int>(random() % 3)});
    std::size_t n = random() % 40;
    for (std::size_t i = 0; i < n; ++i) reply += static_cast<char>(random() % 256);
    if (random() % 4 == 0 && reply.size() > 3) reply[2] = 0;
    TScriptedPeer server;
    server.Read(v5 ? 3 : 9).Write(reply).Close();
    server.Start();
    TWSocket s;
    s.OnDataAvailable = [](TCustomWSocket* self, std::uint16_t) { self->ReceiveText(); };
    s.SetSocksLevel(v5 ? "5" : "4");
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(std::to_string(server.Port()));
    s.SetAddr("10.1.2.3");
    s.SetPort("110");
    s.Connect();
    ASSERT_TRUE(PumpUntil([&] { return s.State() == wsClosed; })) << "round " << round;
  }
}

TEST_F(SocksTest, SettersAndRefusals) {
  sock.SetSocksLevel("4a");
  EXPECT_EQ(sock.SocksLevel(), "4A");
  EXPECT_EQ(ErrorOf([&] { sock.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
  EXPECT_EQ(sock.SocksLevel(), "4A");
  sock.SetSocksServer("  127.0.0.1 ");
  EXPECT_EQ(sock.SocksServer(), "127.0.0.1");
  sock.SetAddr("localhost");
  sock.SetPort("0");
  EXPECT_EQ(ErrorOf([&] { sock.Listen(); }), "Listening is not supported thru socks server");
  sock.SetProto("udp");
  EXPECT_EQ(ErrorOf([&] { sock.Connect(); }),
            "tcp is the only protocol supported thru socks server");
  EXPECT_EQ(sock.State(), wsClosed);
}

TEST_F(SocksTest, SettersRefuseWhileOpen) {
  peer.Read(3);
  ConnectThrough("5");
  EXPECT_EQ(ErrorOf([&] { sock.SetSocksLevel("4"); }), "Can't change socks level if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.SetSocksPort("1"); }), "Can't change socks port if not closed");
  EXPECT_EQ(ErrorOf([&] { sock.SetSocksServer("x"); }), "Can't change socks server if not closed");
  sock.Abort();
}

}  // namespace
