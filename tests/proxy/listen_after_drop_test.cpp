// A mail program that leaves without QUIT: the service listens again by itself without a
// window, or with one when ListenAfterDrop is 1; the upstream session is dropped without QUIT
// so that the server commits nothing of it.

#include <gtest/gtest.h>

#include "mailbox_fixture.h"

namespace {

using namespace proxytest;

const char kDropLine[] =
    "Mail program left without QUIT - server session dropped, listening again.";

class ListenAfterDrop : public MailboxSession {
 protected:
  // A mail program that gives up while STAT's check runs.
  void DropDuringStat(TMailbox& box) {
    auto client = LoggedIn(box);
    client->SendLine("STAT").Pause(300);
    client->Close();
    Run(*client);
    ASSERT_TRUE(PumpUntil([&] { return LogHas(*form_, "***WSocket - Session closed"); }));
  }
  bool ListensAgain() {
    return PumpUntil([&] { return form_->WSocket1->State() == wsListening; }, 5000);
  }
};

TEST_F(ListenAfterDrop, WithoutAWindowTheServiceListensAgainAndTheNextProgramGetsItsMail) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two", std::string(30000, 'd') + "\n")};
  box.silentDuringRetr = 2;
  TMailbox again;
  again.mails = {PlainMail("one"), PlainMail("two")};
  Upstream(box).AcceptNext().Do(ServeMailbox(again));
  form_->ListenAfterDropAlways = true;
  DropDuringStat(box);
  ASSERT_TRUE(ListensAgain()) << Log();
  const auto& log = form_->Memo_LOG->Lines().Strings();
  EXPECT_EQ(std::count(log.begin(), log.end(), kDropLine), 1) << Log();
  EXPECT_EQ(log.back(), "My Server (re)started. Awaiting connection.");

  auto next = LoggedIn(again);
  next->SendLine("STAT").ExpectPrefix("+OK 2 ").SendLine("QUIT").Expect("+OK Vevazurod quits");
  Run(*next);
  FinishUpstream();
  // The dropped session went without QUIT.
  EXPECT_TRUE(std::find(box.commands.begin(), box.commands.end(), "QUIT") == box.commands.end());
}

TEST_F(ListenAfterDrop, TheServerCommitsNoneOfTheDroppedSessionsDeletions) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two")};
  Upstream(box);
  form_->ListenAfterDropAlways = true;
  auto client = LoggedIn(box);
  client->SendLine("STAT").ExpectPrefix("+OK 2 ").SendLine("DELE 1").ExpectPrefix("+OK").Close();
  Run(*client);
  ASSERT_TRUE(ListensAgain()) << Log();
  FinishUpstream();
  EXPECT_EQ(box.deleted, (std::set<int>{1}));
  EXPECT_TRUE(box.expunged.empty());
  EXPECT_TRUE(std::find(box.commands.begin(), box.commands.end(), "QUIT") == box.commands.end());
}

TEST_F(ListenAfterDrop, WithAWindowOnlyWhenTheSettingIsOne) {
  for (const char* value :
       {"", "\"ListenAfterDrop\"=dword:00000000\r\n", "\"ListenAfterDrop\"=\"yes\"\r\n"}) {
    Settings(value);
    TMailbox box;
    Upstream(box);
    TScriptedClient client(listenPort_);
    client.ExpectPrefix("+OK Welcome").SendLine("CAPA").ExpectPrefix("+OK").Close();
    Run(client);
    ASSERT_TRUE(PumpUntil([&] { return LogHas(*form_, "***WSocket - Session closed"); }));
    PumpFor(200);
    EXPECT_EQ(form_->WSocket1->State(), wsClosed) << value;
    EXPECT_FALSE(LogHas(*form_, kDropLine)) << value;
    form_.reset();
  }
  Settings("\"ListenAfterDrop\"=dword:00000001\r\n");
  TMailbox box;
  Upstream(box);
  TScriptedClient client(listenPort_);
  client.ExpectPrefix("+OK Welcome").Close();
  Run(client);
  ASSERT_TRUE(ListensAgain()) << Log();
  EXPECT_TRUE(LogHas(*form_, kDropLine));
}

TEST_F(ListenAfterDrop, QuitAndResetAreNoDrop) {
  TMailbox box;
  Upstream(box);
  form_->ListenAfterDropAlways = true;
  TScriptedClient client(listenPort_);
  client.ExpectPrefix("+OK Welcome").SendLine("QUIT").Expect("+OK Vevazurod quits").ExpectClosed();
  Run(client);
  ASSERT_TRUE(ListensAgain());
  form_->Button_RESET->Click();
  PumpFor(200);
  EXPECT_EQ(form_->WSocket1->State(), wsListening);
  EXPECT_FALSE(LogHas(*form_, kDropLine)) << Log();
}

}  // namespace
