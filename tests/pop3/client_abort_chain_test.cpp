// Losing the session, Abort in each state, the chained Open, and completions delivered inside
// the next command.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/message_loop.h"
#include "pop3/pop3_client.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"

using S = ScriptedPop3Server;

namespace {

struct Client {
  TPop3Cli client;
  Pop3Recorder rec;
  explicit Client(const std::string& port, const std::string& host = "127.0.0.1") {
    rec.Attach(client);
    client.SetHost(host);
    client.SetPort(port);
    client.SetUserName("u");
    client.SetPassWord("p");
  }
  void Wait(std::size_t count, int timeoutMs = 5000) {
    ASSERT_TRUE(PumpUntil([&] { return rec.done.size() >= count; }, timeoutMs))
        << "completion " << count;
  }
};

const std::vector<S::Step> kLogin = {S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("+OK\r\n"),
                                     S::Expect("PASS p"), S::Send("+OK in\r\n")};

std::vector<S::Step> Then(std::vector<S::Step> head, const std::vector<S::Step>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

TEST(Pop3SessionLoss, ClosedMidCommandCompletesWith10004) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Close()});
  Client c(server.Port());
  c.client.Connect();
  c.Wait(1);
  c.client.User();
  c.Wait(2);
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3User, std::uint16_t(10004)));
  EXPECT_EQ(c.client.ProtocolState(), pop3Disconnected);
  EXPECT_FALSE(c.client.Connected());
  EXPECT_EQ(c.client.State(), pop3Idle);
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3SessionLoss, ClosedInsideAListingGivesNoEndEvent) {
  S server;
  server.Play(
      Then(kLogin, {S::Expect("LIST"), S::Send("+OK\r\n1 10\r\n"), S::Pause(30), S::Close()}));
  Client c(server.Port());
  c.client.Open();
  c.Wait(1);
  ASSERT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(0)));
  c.client.List();
  c.Wait(2);
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3List, std::uint16_t(10004)));
  EXPECT_EQ(c.rec.events,
            (std::vector<std::string>{"connected 0", "list-begin", "list-line 1 10", "closed"}));
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3SessionLoss, ClosedWhileIdleReportsOnlyTheClose) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Pause(50), S::Close()});
  Client c(server.Port());
  c.client.Connect();
  c.Wait(1);
  ASSERT_TRUE(PumpUntil([&] { return !c.client.Connected(); }));
  PumpFor(30);
  EXPECT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.events.back(), "closed");
  EXPECT_EQ(c.client.ProtocolState(), pop3Disconnected);
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3SessionLoss, QuitAnsweredNegativelyStillEndsWithTheClose) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("QUIT"), S::Send("-ERR odd\r\n"), S::Pause(50),
               S::Close()});
  Client c(server.Port());
  c.client.Connect();
  c.Wait(1);
  c.client.Quit();
  c.Wait(2);
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3Quit, std::uint16_t(0)));
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3SessionLoss, ServerThatClosesWithoutAnsweringQuitEndsTheRequest) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("QUIT"), S::Close()});
  Client c(server.Port());
  c.client.Connect();
  c.Wait(1);
  c.client.Quit();
  c.Wait(2);
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3Quit, std::uint16_t(10004)));
  EXPECT_EQ(c.client.State(), pop3Idle);
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Abort, DuringTheLookup) {
  Client c("110", "localhost");
  c.client.Connect();
  ASSERT_EQ(c.client.State(), pop3Resolving);
  c.client.Abort();
  EXPECT_EQ(c.client.State(), pop3Idle);
  c.Wait(1);
  PumpFor(30);
  ASSERT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Connect, std::uint16_t(10004)));
  EXPECT_EQ(c.client.LastResponse(), "-ERR Interrupted system call (Winsock error #10004)");
}

TEST(Pop3Abort, DuringTheTcpConnect) {
  S server;
  Client c(server.Port());
  c.client.Connect();  // a dotted address is answered at once, so the connect is under way
  ASSERT_EQ(c.client.State(), pop3Connecting);
  c.client.Abort();
  EXPECT_EQ(c.client.State(), pop3Idle);
  c.Wait(1);
  EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Connect, std::uint16_t(10004)));
  EXPECT_FALSE(c.client.Connected());
}

TEST(Pop3Abort, WhileWaitingForTheGreetingAndForAReply) {
  {
    S server;
    server.Play({S::AwaitClose()});
    Client c(server.Port());
    c.client.Connect();
    ASSERT_TRUE(PumpUntil([&] { return c.client.State() == pop3WaitingGreeting; }));
    c.client.Abort();
    c.Wait(1);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Connect, std::uint16_t(10004)));
    EXPECT_TRUE(server.Finish().empty());
  }
  {
    S server;
    server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::AwaitClose()});
    Client c(server.Port());
    c.client.Connect();
    c.Wait(1);
    c.client.User();
    c.client.Abort();
    EXPECT_EQ(c.client.State(), pop3Idle);
    c.Wait(2);
    EXPECT_EQ(c.rec.done[1], std::make_pair(pop3User, std::uint16_t(10004)));
    EXPECT_EQ(c.client.ProtocolState(), pop3Disconnected);
    EXPECT_TRUE(server.Finish().empty());
  }
}

TEST(Pop3Abort, WhileIdleOnlyClosesTheSession) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::AwaitClose()});
  Client c(server.Port());
  c.client.Connect();
  c.Wait(1);
  c.client.Abort();
  PumpFor(30);
  EXPECT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.events.back(), "closed");
  EXPECT_FALSE(c.client.Connected());
  c.client.Abort();  // again, with nothing left to close
  EXPECT_EQ(c.client.State(), pop3Idle);
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Open, SucceedsAsOneRequest) {
  S server;
  server.Play(Then(kLogin, {S::AwaitClose()}));
  Client c(server.Port());
  c.client.Open();
  c.Wait(1);
  PumpFor(20);
  ASSERT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(0)));
  EXPECT_EQ(c.client.ProtocolState(), pop3Transaction);
  EXPECT_EQ(c.client.LastResponse(), "+OK in");
  // Between the steps the client is neither idle nor ready for another request.
  EXPECT_NE(std::find(c.rec.states.begin(), c.rec.states.end(), pop3BetweenSteps),
            c.rec.states.end());
  EXPECT_EQ(std::count(c.rec.states.begin(), c.rec.states.end(), pop3Idle), 1);
  try {
    c.client.Open();
    ADD_FAILURE() << "no exception";
  } catch (const Pop3Exception& e) {
    EXPECT_STREQ(e.what(), "pop3 component already connected");
  }
  c.client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Open, FailsAtEachStepWithThatStepsError) {
  {  // connect refused
    Client c(UnusedLoopbackPort());
    c.client.Open();
    c.Wait(1);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(10061)));
  }
  {  // unknown host
    Client c("110", "nonexistent.invalid");
    c.client.Open();
    c.Wait(1, 15000);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(11001)));
  }
  {  // negative greeting: 500 here, not the close's 10004
    S server;
    server.Play({S::Send("-ERR busy\r\n"), S::AwaitClose()});
    Client c(server.Port());
    c.client.Open();
    c.Wait(1);
    PumpFor(20);
    ASSERT_EQ(c.rec.done.size(), 1u);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(500)));
    EXPECT_EQ(c.client.ErrorMessage(), "-ERR busy");
    EXPECT_TRUE(server.Finish().empty());
  }
  {  // USER refused: the session stays open
    S server;
    server.Play(
        {S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("-ERR who\r\n"), S::AwaitClose()});
    Client c(server.Port());
    c.client.Open();
    c.Wait(1);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(500)));
    EXPECT_EQ(c.client.ProtocolState(), pop3WaitingUser);
    EXPECT_TRUE(c.client.Connected());
    c.client.Abort();
    EXPECT_TRUE(server.Finish().empty());
  }
  {  // PASS refused
    S server;
    server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("+OK\r\n"),
                 S::Expect("PASS p"), S::Send("-ERR wrong\r\n"), S::AwaitClose()});
    Client c(server.Port());
    c.client.Open();
    c.Wait(1);
    PumpFor(20);
    ASSERT_EQ(c.rec.done.size(), 1u);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(500)));
    EXPECT_EQ(c.client.ProtocolState(), pop3WaitingPass);
    EXPECT_TRUE(c.client.Connected());
    EXPECT_EQ(c.client.ErrorMessage(), "-ERR wrong");
    c.client.Abort();
    EXPECT_TRUE(server.Finish().empty());
  }
  {  // the server drops the session in the middle: the chain ends instead of going on
    S server;
    server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Close()});
    Client c(server.Port());
    c.client.Open();
    c.Wait(1);
    EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(10004)));
    EXPECT_EQ(c.client.State(), pop3Idle);
    EXPECT_TRUE(server.Finish().empty());
  }
}

TEST(Pop3Open, AbortedAfterTheSessionIsUpReports426) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::AwaitClose()});
  Client c(server.Port());
  c.client.Open();
  ASSERT_TRUE(PumpUntil([&] { return server.Received().size() == 1; }));
  c.client.Abort();
  c.Wait(1);
  PumpFor(20);
  ASSERT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(426)));
  EXPECT_EQ(c.client.ErrorMessage(), "426 Operation aborted.");
  EXPECT_EQ(c.client.State(), pop3Idle);
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Open, AbortedDuringTheLookupReports10004) {
  Client c("110", "localhost");
  c.client.Open();
  c.client.Abort();
  c.Wait(1);
  PumpFor(20);
  ASSERT_EQ(c.rec.done.size(), 1u);
  EXPECT_EQ(c.rec.done[0], std::make_pair(pop3Open, std::uint16_t(10004)));
}

TEST(Pop3Completion, DeliveredInsideTheNextCommandCarriesItsRequestType) {
  S server;
  server.Play(Then(kLogin, {S::Expect("STAT"), S::Send("+OK 1 10\r\n"), S::Expect("NOOP"),
                            S::Send("+OK\r\n"), S::AwaitClose()}));
  Client c(server.Port());
  c.client.Open();
  c.Wait(1);
  c.client.Stat();
  // Handle the reply but not yet its posted completion.
  ASSERT_TRUE(StepUntil([&] { return c.client.State() == pop3Idle; }));
  ASSERT_EQ(c.rec.done.size(), 1u);
  ASSERT_TRUE(TMessageLoop::Current().HasPendingMessages());
  c.client.Noop();  // its send pumps the loop once: the STAT completion arrives now
  ASSERT_EQ(c.rec.done.size(), 2u);
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3Noop, std::uint16_t(0)));
  c.Wait(3);
  EXPECT_EQ(c.rec.done[2], std::make_pair(pop3Noop, std::uint16_t(0)));
  c.client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Lifetime, DestroyedWhileRequestsRunReportsNothingLater) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::AwaitClose()});
  int reports = 0;
  {
    auto c = std::make_unique<Client>(server.Port());
    c->client.OnRequestDone = [&](TCustomPop3Cli*, TPop3Request, std::uint16_t) { ++reports; };
    c->client.Connect();
    ASSERT_TRUE(PumpUntil([&] { return reports == 1; }));
    c->client.User();
  }
  {
    auto c = std::make_unique<Client>("110", "localhost");
    c->client.OnRequestDone = [&](TCustomPop3Cli*, TPop3Request, std::uint16_t) { ++reports; };
    c->client.Connect();  // lookup pending
  }
  {
    auto c = std::make_unique<Client>("110", "localhost");
    c->client.OnRequestDone = [&](TCustomPop3Cli*, TPop3Request, std::uint16_t) { ++reports; };
    c->client.Quit();  // completion queued
  }
  PumpFor(100);
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(server.Finish().empty());
}

// An Abort from a line handler ends the reading: the lines still in the line buffer may come
// (to the display, the request is over), but none of what was read from the socket ahead of it.
TEST(Pop3Abort, FromALineHandlerTakesNothingReadAheadOfTheLineBuffer) {
  const std::string line = "a line of the mail, thirty-two\r\n";
  std::string reply = "+OK here\r\n";
  for (int i = 0; i < 4000; ++i) reply += line;
  reply += ".\r\n";
  S server;
  server.Play(Then(kLogin, {S::Expect("RETR 1"), S::Send(reply), S::AwaitClose()}));
  Client c(server.Port());
  c.client.Open();
  c.Wait(1);
  std::size_t lines = 0;
  c.client.OnMessageLine = [&](TCustomPop3Cli* client) {
    if (++lines == 1) client->Abort();
  };
  c.client.SetMsgNum(1);
  c.client.Retr();
  c.Wait(2);
  PumpFor(50);
  const std::string shown = "< " + line.substr(0, line.size() - 2);
  const auto taken = lines + static_cast<std::size_t>(
                                 std::count(c.rec.display.begin(), c.rec.display.end(), shown));
  EXPECT_EQ(lines, 1u);
  EXPECT_LE(taken * line.size(), std::size_t(TPop3ReceiveBuffer::kMaxHeld)) << taken;
  EXPECT_FALSE(c.client.Connected());
  server.Finish();
}
