// The waits for the server wake when their event arrives. Each wait below is given a step far
// longer than the test may take, so a wait that slept its whole step before looking would show
// in the loop's own clock; the reply, Cancel and the time-out each end the wait long before.

#include "platform/message_loop.h"
#include "pop3/sync_pop3_client.h"
#include "service_fixture.h"

namespace proxytest {
namespace {

using Waits = ServiceTest;

constexpr std::uint32_t kLongStep = 60000;

// Starts the upstream connect the way HandleUser does and returns the ticks AwaitReply took.
std::uint32_t ConnectAndAwait(TFormVazireRevivo& form, TScriptedServer& server) {
  form.WaitStepMs = kLongStep;
  form.Pop3Cli1->SetHost("127.0.0.1");
  form.Pop3Cli1->SetPort(server.PortText());
  form.LastReply.clear();
  form.RequestFinished = false;
  const std::uint32_t started = GetTickCount();
  form.Pop3Cli1->Connect();
  form.AwaitReply();
  return GetTickCount() - started;
}

TEST_F(Waits, ReplyDuringTheWaitIsTakenWithoutSleepingTheStep) {
  TScriptedServer server;
  server.Pause(50).SendLine("+OK ready <1@x>").ExpectClosed();
  server.Start();
  Start(server.Port());
  const std::uint32_t took = ConnectAndAwait(*form, server);
  EXPECT_EQ(form->LastReply, "+OK ready <1@x>");
  EXPECT_LT(took, kLongStep / 2);
  form->Pop3Cli1->Abort();
}

TEST_F(Waits, CancelEndsTheWaitAtOnce) {
  TScriptedServer server;
  server.ExpectClosed();  // never greets
  server.Start();
  Start(server.Port());
  After(50, [this] { form->AbortRequested = true; });
  const std::uint32_t took = ConnectAndAwait(*form, server);
  EXPECT_EQ(form->LastReply, "-ERR Canceled by User");
  EXPECT_LT(took, kLongStep / 2);
}

TEST_F(Waits, TimeOutEndsTheWaitAtOnce) {
  TScriptedServer server;
  server.ExpectClosed();
  server.Start();
  Start(server.Port());
  form->Timer_TimeOut->SetInterval(50);
  const std::uint32_t took = ConnectAndAwait(*form, server);
  EXPECT_EQ(form->LastReply, "-ERR TimeOut");
  EXPECT_LT(took, kLongStep / 2);
  EXPECT_FALSE(form->Timer_TimeOut->Enabled());
  form->Pop3Cli1->Abort();
}

// The server's close ends the session; the wait for the client's idle state sees it at once.
TEST_F(Waits, ServerCloseEndsTheIdleWait) {
  TScriptedServer server;
  server.SendLine("+OK ready <1@x>").Pause(50).Close();
  server.Start();
  Start(server.Port());
  ConnectAndAwait(*form, server);
  ASSERT_EQ(form->LastReply, "+OK ready <1@x>");
  form->QuitCloseLimitMs = kLongStep;
  const std::uint32_t started = GetTickCount();
  form->Pop3Cli1->Quit();
  form->AwaitIdle();
  EXPECT_EQ(form->Pop3Cli1->State(), pop3Idle);
  EXPECT_LT(GetTickCount() - started, kLongStep / 2);
}

}  // namespace
}  // namespace proxytest
