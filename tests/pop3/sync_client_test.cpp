// The blocking layer: waits, time limits and the result of each synchronous call.
#include <gtest/gtest.h>

#include "platform/message_loop.h"
#include "pop3/sync_pop3_client.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"

using S = ScriptedPop3Server;

namespace {

struct SyncClient {
  TSyncPop3Cli client;
  Pop3Recorder rec;
  explicit SyncClient(const std::string& port) {
    rec.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.SetUserName("u");
    client.SetPassWord("p");
  }
};

const std::vector<S::Step> kLogin = {S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("+OK\r\n"),
                                     S::Expect("PASS p"), S::Send("+OK in\r\n")};

std::vector<S::Step> Then(std::vector<S::Step> head, const std::vector<S::Step>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

TEST(Pop3Sync, DefaultsAndASessionAgainstAPromptServer) {
  S server;
  server.Play(Then(kLogin, {S::Expect("STAT"), S::Send("+OK 3 900\r\n"), S::Expect("QUIT"),
                            S::Send("+OK bye\r\n"), S::Close()}));
  SyncClient c(server.Port());
  EXPECT_EQ(c.client.Timeout(), 15);
  EXPECT_FALSE(c.client.MultiThreaded());
  EXPECT_EQ(c.client.Port(), server.Port());
  ASSERT_TRUE(c.client.OpenSync()) << c.client.ErrorMessage();
  EXPECT_EQ(c.client.ProtocolState(), pop3Transaction);
  ASSERT_TRUE(c.client.StatSync());
  EXPECT_EQ(c.client.MsgCount(), 3);
  EXPECT_EQ(c.client.MsgSize(), 900);
  ASSERT_TRUE(c.client.QuitSync());
  EXPECT_FALSE(c.client.Connected());
  PumpFor(20);
  ASSERT_EQ(c.rec.done.size(), 3u);  // every synchronous request still reports its completion
  EXPECT_EQ(c.rec.done[2], std::make_pair(pop3Quit, std::uint16_t(0)));
  EXPECT_TRUE(server.Finish().empty());
  EXPECT_TRUE(c.client.QuitSync());  // not connected: at once
}

TEST(Pop3Sync, RefusalsAndNegativeRepliesGiveFalse) {
  S server;
  server.Play(
      {S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("-ERR nope\r\n"), S::AwaitClose()});
  SyncClient c(server.Port());
  ASSERT_TRUE(c.client.ConnectSync());
  EXPECT_FALSE(c.client.StatSync());
  EXPECT_EQ(c.client.ErrorMessage(), "-ERR STAT command invalid now");
  c.client.ClearErrorMessage();
  EXPECT_FALSE(c.client.UserSync());
  EXPECT_EQ(c.client.ErrorMessage(), "-ERR nope");
  EXPECT_EQ(c.client.LastResponse(), "-ERR nope");
  c.client.SetMsgLines(-1);
  EXPECT_FALSE(c.client.TopSync());
  EXPECT_TRUE(c.client.AbortSync() == (c.client.ErrorCode() == 0));
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Sync, LookupAndConnectFailuresGiveFalseWithTheComposedText) {
  SyncClient c(UnusedLoopbackPort());
  EXPECT_FALSE(c.client.ConnectSync());
  EXPECT_EQ(c.client.ErrorMessage(), "-ERR Connection refused (Winsock error #10061)");
}

TEST(Pop3Sync, SilentServerTimesOutAndTheSessionIsGone) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::AwaitClose()});
  SyncClient c(server.Port());
  c.client.SetTimeout(1);
  ASSERT_TRUE(c.client.ConnectSync());
  std::uint32_t start = GetTickCount();
  EXPECT_FALSE(c.client.UserSync());
  std::uint32_t took = GetTickCount() - start;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 5000u);
  EXPECT_EQ(c.client.ErrorMessage(), "426 Timeout");
  EXPECT_EQ(c.client.StatusCode(), 426);
  EXPECT_FALSE(c.client.Connected());
  EXPECT_EQ(c.client.State(), pop3Idle);
  // The aborted request's completion still comes through the queue.
  ASSERT_TRUE(PumpUntil([&] { return c.rec.done.size() == 2; }));
  EXPECT_EQ(c.rec.done[1], std::make_pair(pop3User, std::uint16_t(10004)));
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Sync, EachLineRestartsTheTimeLimit) {
  std::string message = "+OK\r\n";
  for (int i = 0; i < 12; ++i) message += "line " + std::to_string(i) + "\r\n";
  message += ".\r\n";
  S server;
  // About 12 pieces 150 ms apart: longer than the 1 s limit in total, never that long silent.
  server.Play(
      Then(kLogin, {S::Expect("RETR 1"), S::SendSlowly(message, int(message.size() / 12), 150),
                    S::AwaitClose()}));
  SyncClient c(server.Port());
  c.client.SetTimeout(1);
  ASSERT_TRUE(c.client.OpenSync());
  c.client.SetMsgNum(1);
  std::uint32_t start = GetTickCount();
  EXPECT_TRUE(c.client.RetrSync()) << c.client.ErrorMessage();
  EXPECT_GT(GetTickCount() - start, 1000u);
  c.client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Sync, ZeroTimeoutWaitsWithoutLimit) {
  S server;
  server.Play({S::Pause(1300), S::Send("+OK late\r\n"), S::AwaitClose()});
  SyncClient c(server.Port());
  c.client.SetTimeout(0);
  c.client.SetMultiThreaded(true);  // the socket's own pump serves as well
  EXPECT_TRUE(c.client.ConnectSync());
  EXPECT_EQ(c.client.LastResponse(), "+OK late");
  c.client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Sync, SessionClosedByTheServerDuringTheWaitIsAFailure) {
  S server;
  server.Play(Then(
      kLogin, {S::Expect("RETR 1"), S::Send("+OK\r\nfirst line\r\n"), S::Pause(30), S::Close()}));
  SyncClient c(server.Port());
  ASSERT_TRUE(c.client.OpenSync());
  c.client.SetMsgNum(1);
  EXPECT_FALSE(c.client.RetrSync());
  EXPECT_FALSE(c.client.Connected());
  EXPECT_TRUE(server.Finish().empty());
}
