// Connecting: greeting, lookup and connect failures, completion delivery.
#include <gtest/gtest.h>

#include "pop3/pop3_client.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"

using S = ScriptedPop3Server;

namespace {

void ConnectTo(TCustomPop3Cli& client, const std::string& port) {
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  client.Connect();
}

}  // namespace

TEST(Pop3Connect, GreetingWithTimestampCompletesLaterThroughTheLoop) {
  S server;
  server.Play({S::SendSlowly("+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n", 7, 5),
               S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  ConnectTo(client, server.Port());
  EXPECT_TRUE(rec.done.empty());  // never from inside the call
  EXPECT_NE(client.State(), pop3Idle);
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  EXPECT_EQ(rec.done[0], std::make_pair(pop3Connect, std::uint16_t(0)));
  EXPECT_EQ(client.ProtocolState(), pop3WaitingUser);
  EXPECT_EQ(client.LastResponse(), "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(client.Timestamp(), "<1896.697170952@dbc.mtview.ca.us>");
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.State(), pop3Idle);
  EXPECT_EQ(rec.states, (std::vector<TPop3State>{pop3Resolving, pop3Connecting, pop3WaitingGreeting,
                                                 pop3Greeted, pop3Idle}));
  EXPECT_EQ(rec.events, std::vector<std::string>{"connected 0"});
  EXPECT_EQ(rec.display.back(), "< +OK POP3 ready <1896.697170952@dbc.mtview.ca.us>");
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
  PumpFor(20);
  EXPECT_EQ(rec.done.size(), 1u);  // a close while idle completes nothing
}

TEST(Pop3Connect, GreetingWithoutTimestampRefusesApop) {
  S server;
  server.Play({S::Send("+OK ready\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  EXPECT_EQ(client.Timestamp(), "");
  EXPECT_THROW(
      {
        try {
          client.APop();
        } catch (const Pop3Exception& e) {
          EXPECT_STREQ(e.what(), "-ERR Server do not support APOP (no timestamp)");
          throw;
        }
      },
      Pop3Exception);
  EXPECT_EQ(client.ErrorMessage(), "-ERR Server do not support APOP (no timestamp)");
  EXPECT_EQ(client.State(), pop3Idle);
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
  EXPECT_EQ(server.Received().size(), 0u);
}

TEST(Pop3Connect, NegativeGreetingClosesAndCompletesWithSessionClosed) {
  S server;
  server.Play({S::Send("-ERR go away\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  EXPECT_EQ(rec.done[0], std::make_pair(pop3Connect, std::uint16_t(10004)));
  EXPECT_EQ(client.ErrorMessage(), "-ERR go away");
  EXPECT_EQ(client.ErrorCode(), 500);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.State(), pop3Idle);
  EXPECT_EQ(client.ProtocolState(), pop3Disconnected);
  EXPECT_EQ(rec.events, std::vector<std::string>{"closed"});
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Connect, UnknownHostReportsTheLookupError) {
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.SetHost("nonexistent.invalid");
  client.Connect();
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }, 15000));
  EXPECT_EQ(rec.done[0].first, pop3Connect);
  EXPECT_EQ(rec.done[0].second, 11001);
  EXPECT_EQ(client.LastResponse(), "-ERR Host not found (Winsock error #11001)");
  EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
  EXPECT_EQ(client.State(), pop3Idle);
  EXPECT_FALSE(client.Connected());
}

TEST(Pop3Connect, RefusedConnectReportsTheSocketError) {
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  ConnectTo(client, UnusedLoopbackPort());
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  PumpFor(20);
  ASSERT_EQ(rec.done.size(), 1u);
  EXPECT_EQ(rec.done[0], std::make_pair(pop3Connect, std::uint16_t(10061)));
  EXPECT_EQ(client.LastResponse(), "-ERR Connection refused (Winsock error #10061)");
  EXPECT_EQ(client.State(), pop3Idle);
  EXPECT_FALSE(client.Connected());
  // The failed connect is followed by the close, which completes nothing more.
  EXPECT_EQ(rec.events, (std::vector<std::string>{"closed"}));
}

TEST(Pop3Connect, EmptyHostEndsTheRequestInsteadOfStickingInResolving) {
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.SetHost("");
  EXPECT_NO_THROW(client.Connect());
  EXPECT_EQ(client.State(), pop3Idle);
  EXPECT_TRUE(rec.done.empty());  // even a failure at once is reported later
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  EXPECT_EQ(rec.done[0], std::make_pair(pop3Connect, std::uint16_t(500)));
  EXPECT_EQ(client.LastResponse().rfind("-ERR ESocketException: ", 0), 0u) << client.LastResponse();
  // The client is usable again at once.
  S server;
  server.Play({S::Send("+OK again\r\n"), S::AwaitClose()});
  ConnectTo(client, server.Port());
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(rec.done[1], std::make_pair(pop3Connect, std::uint16_t(0)));
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Connect, SecondConnectAndBusyClientAreRefused) {
  S server;
  server.Play({S::Pause(100), S::Send("+OK hi\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  ConnectTo(client, server.Port());
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const Pop3Exception& e) {
    EXPECT_STREQ(e.what(), "POP3 component not ready");
  }
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const Pop3Exception& e) {
    EXPECT_STREQ(e.what(), "POP3 component already connected");
  }
  EXPECT_EQ(client.State(), pop3Idle);
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Connect, CommandsNeedASession) {
  TPop3Cli client;
  try {
    client.User();
    ADD_FAILURE() << "no exception";
  } catch (const Pop3Exception& e) {
    EXPECT_STREQ(e.what(), "POP3 component not connected");
  }
  EXPECT_EQ(client.State(), pop3Idle);
}

TEST(Pop3Connect, QuitWithoutSessionCompletesAtOnceButLater) {
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.Quit();
  EXPECT_TRUE(rec.done.empty());
  ASSERT_TRUE(PumpUntil([&] { return !rec.done.empty(); }));
  EXPECT_EQ(rec.done[0], std::make_pair(pop3Quit, std::uint16_t(0)));
  EXPECT_EQ(client.State(), pop3Idle);
}
