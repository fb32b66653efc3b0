// Whole mail checks inside one process: a scripted upstream server, the window's service and
// a scripted mail program, with the message loop turned by the test.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/program_folder.h"
#include "inspection/message_store.h"
#include "mailbox_fixture.h"
#include "open_recorder.h"
#include "platform/message_loop.h"
#include "proxy/download_state.h"
#include "proxy/main_form.h"
#include "proxy_test_support.h"

namespace {

using namespace proxytest;

TEST_F(MailboxSession, DeletedMailLeavesTheOthersAtNewPositionsAndDeleUsesServerNumbers) {
  TOpenRecorder opened;
  Settings("\"Aktion\"=dword:00000002\r\n\"CheckBox_SendError\"=dword:00000001\r\n");
  Write("response.eml", "To: XXX%3\r\nSubject: blocked XXX%2\r\n\r\nfor XXX%1\r\n");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe"), PlainMail("three")};
  Upstream(box);
  auto client = LoggedIn(box);
  const auto total = box.mails[0].size() + box.mails[2].size();
  client->SendLine("STAT")
      .Expect("+OK 2 " + std::to_string(total))
      .SendLine("LIST")
      .Expect("+OK Listing follows")
      .Expect("1 " + std::to_string(box.mails[0].size()))
      .Expect("2 " + std::to_string(box.mails[2].size()))
      .Expect(".")
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(box.mails[2]))
      .SendLine("DELE 2")
      .ExpectPrefix("+OK")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_TRUE(Contains(box.commands, "DELE 2"));  // by the policy
  EXPECT_TRUE(Contains(box.commands, "DELE 3"));  // the mail program's message 2
  EXPECT_EQ(box.expunged, (std::set<int>{2, 3}));
  EXPECT_NE(Log().find("DELETING Mail - Reason: Attachment :evil.exe"), std::string::npos);
  EXPECT_NE(Log().find("Mail 2 blocked."), std::string::npos);
  EXPECT_NE(Results().find("evil.exe"), std::string::npos);
  EXPECT_NE(Results().find(std::string(100, '-')), std::string::npos);
  EXPECT_EQ(Read("mail.eml"),
            "To: mallory@example.net\r\nSubject: blocked evil\r\n\r\nfor alice@example.org\r\n");
  EXPECT_NE(opened.WaitForLines(1).find("mail.eml"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ + "/dummy.eml"));
}

// The quarantine folder's copies, by file name.
std::map<std::string, std::string> QuarantineCopies(const std::string& folder) {
  std::map<std::string, std::string> copies;
  const fs::path quarantine = fs::path(folder) / "data" / "brindlecap" / "quarantine";
  if (!fs::exists(quarantine)) return copies;
  for (const auto& file : fs::directory_iterator(quarantine)) {
    if (file.path().extension() != ".eml") continue;
    std::ifstream in(file.path(), std::ios::binary);
    copies[file.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return copies;
}

TEST_F(MailboxSession, TheDeleteActionCopiesEachMailBeforeItsDeleGoesUpstream) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {MailWithAttachment("evil", "evil.exe"), PlainMail("two")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[1].size()))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  const auto copies = QuarantineCopies(folder_);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies.begin()->second, box.mails[0]);
  EXPECT_EQ(box.expunged, (std::set<int>{1}));
  const std::string log = Log();
  const auto written = log.find("Quarantine copy written: ");
  ASSERT_NE(written, std::string::npos) << log;
  EXPECT_LT(written, log.find("Mail 1 blocked.")) << log;
  // The result block names the copy just before its line of dashes.
  EXPECT_NE(Results().find(copies.begin()->first + "\r\n" + std::string(100, '-')),
            std::string::npos)
      << Results();
}

TEST_F(MailboxSession, ARefusedDeleTakesTheCopyBackAndServesTheMail) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {MailWithAttachment("evil", "evil.exe")};
  box.refuseDele = 1;
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[0].size()))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_TRUE(QuarantineCopies(folder_).empty());
  EXPECT_TRUE(box.expunged.empty());
  EXPECT_NE(Log().find("ERROR DURING blocking of Mail 1!!!"), std::string::npos) << Log();
  EXPECT_NE(Log().find("Quarantine copy removed, the server keeps the mail: "), std::string::npos)
      << Log();
}

TEST_F(MailboxSession, AMailThatCannotBeCopiedIsNeitherDeletedNorServed) {
  TOpenRecorder opened;
  Settings("\"Aktion\"=dword:00000002\r\n\"CheckBox_SendError\"=dword:00000001\r\n");
  Write("response.eml", "To: XXX%3\r\n\r\nblocked\r\n");
  fs::create_directories(folder_ + "/data/brindlecap");
  Write("data/brindlecap/quarantine", "a file where the folder belongs");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[0].size()))
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[0]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_FALSE(Contains(box.commands, "DELE 2"));
  EXPECT_TRUE(box.expunged.empty());
  EXPECT_NE(Log().find("Quarantine copy not written, mail left on the server: "), std::string::npos)
      << Log();
  EXPECT_EQ(Log().find("Mail 2 blocked."), std::string::npos) << Log();
  EXPECT_NE(Results().find("Not a directory"), std::string::npos) << Results();
  // The sender is told as for any blocked mail.
  EXPECT_NE(opened.WaitForLines(1).find("mail.eml"), std::string::npos);
}

TEST_F(MailboxSession, WithTheQuarantineOffNothingIsCopied) {
  Settings("\"Aktion\"=dword:00000002\r\n\"Quarantine\"=dword:00000000\r\n");
  TMailbox box;
  box.mails = {MailWithAttachment("evil", "evil.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT").Expect("+OK 0 0").SendLine("QUIT").Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_EQ(box.expunged, (std::set<int>{1}));
  EXPECT_FALSE(fs::exists(folder_ + "/data"));
  EXPECT_EQ(Log().find("uarantine"), std::string::npos) << Log();
}

TEST_F(MailboxSession, RenamedMailIsListedWithTheSizeItIsSentWith) {
  TMailbox box;
  box.mails = {PlainMail("dots", ".\n..\n.x\nend\n"), MailWithAttachment("tool", "tool.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .ExpectPrefix("+OK 2 ")
      .SendLine("LIST 1")
      .ExpectPrefix("+OK 1 ")
      .SendLine("LIST 2")
      .ExpectPrefix("+OK 2 ")
      .SendLine("LIST 3")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[0]))
      .SendLine("RETR 2")
      .Expect("+OK Message follows");
  std::string renamed;
  client->Do([&](TPeerIo& io, std::string& failure) {
    for (;;) {
      auto line = io.ReadLine(10000);
      if (!line) {
        failure = "RETR 2 did not end";
        return false;
      }
      if (*line == ".") return true;
      renamed += (line->rfind("..", 0) == 0 ? line->substr(1) : *line) + "\r\n";
    }
  });
  Run(*client);
  const std::string received = client->Received();
  const std::string expectedList = "+OK 2 " + std::to_string(renamed.size()) + "\r\n";
  EXPECT_NE(received.find(expectedList), std::string::npos) << received;
  EXPECT_NE(received.find("+OK 1 " + std::to_string(box.mails[0].size()) + "\r\n"),
            std::string::npos);
  EXPECT_NE(received.find("+OK 2 " + std::to_string(box.mails[0].size() + renamed.size())),
            std::string::npos);
  EXPECT_NE(renamed.find("name=\"tool.exeBLOCKED\""), std::string::npos) << renamed;
  EXPECT_NE(renamed.find("\r\n\r\nRenamed for safety.\r\n\r\nPlease open it."), std::string::npos)
      << renamed;
  EXPECT_TRUE(form_->Image_ATTACHMENTS->Visible());
  EXPECT_TRUE(form_->Image_RETR->Visible());
}

TEST_F(MailboxSession, EmptyMailboxAndWrongNumbers) {
  TMailbox box;
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 0 0")
      .SendLine("LIST")
      .Expect("+OK Listing follows")
      .Expect(".")
      .SendLine("UIDL")
      .Expect("+OK Listing follows")
      .Expect(".")
      .SendLine("RETR 1")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("RETR 0")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("RETR -1")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("DELE one")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
}

TEST_F(MailboxSession, CommandsWithoutStatCheckTheMailboxFirst) {
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("tool", "x.js"), PlainMail("three")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("LIST")
      .Expect("+OK Listing follows")
      .Do([](TPeerIo& io, std::string& failure) {
        for (int i = 0; i < 4; ++i) {
          if (!io.ReadLine(10000)) {
            failure = "listing cut short";
            return false;
          }
        }
        return true;
      })
      .SendLine("LIST 2")
      .ExpectPrefix("+OK 2 ")
      .SendLine("LIST 9")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("LIST x")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("RETR 3")
      .ExpectBytes(RetrReply(box.mails[2]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  EXPECT_EQ(std::count(box.commands.begin(), box.commands.end(), "STAT"), 1);
  EXPECT_NE(Log().find("RENAMING Attachment: x.js"), std::string::npos);
}

TEST_F(MailboxSession, ALaterConnectionNeverSeesAnEarlierOnesMail) {
  TMailbox first;
  first.mails = {PlainMail("for the first")};
  TMailbox second;
  second.user = "bob";
  second.mails = {PlainMail("for the second")};
  auto& server = Upstream(first);
  server.AcceptNext().Do(ServeMailbox(second));
  auto one = LoggedIn(first);
  one->SendLine("STAT").ExpectPrefix("+OK 1 ").Close();
  Run(*one);
  ASSERT_TRUE(PumpUntil([&] { return MessageStore.empty(); }, 5000));
  form_->Button_RESETClick();
  auto two = LoggedIn(second);
  two->SendLine("RETR 1")
      .ExpectBytes(RetrReply(second.mails[0]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*two);
}

TEST_F(MailboxSession, LongLinesAndZeroBytesArriveUnchanged) {
  TMailbox box;
  box.mails = {
      Crlf("Subject: long\n\n" + std::string(10000, 'x') + "\n.y" + std::string(5000, 'z') + "\n"),
      std::string("Subject: nul\r\n\r\nbefore\0after\r\n", 30)};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 2 " + std::to_string(box.mails[0].size() + box.mails[1].size()))
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[0]))
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(box.mails[1]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
}

TEST_F(MailboxSession, ADownloadCutShortServesNothingAndDeletesNothing) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {MailWithAttachment("a", "a.exe"), PlainMail("two", std::string(20000, 'y') + "\n"),
               PlainMail("three")};
  box.dropDuringRetr = 2;
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("-ERR Error during download!")
      .SendLine("LIST")
      .ExpectPrefix("-ERR");
  Run(*client);
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_NE(Log().find("Download failed - mails not served."), std::string::npos);
  EXPECT_NE(Results().find(std::string(100, '-')), std::string::npos);
  EXPECT_FALSE(Contains(box.commands, "DELE 1"));
}

TEST_F(MailboxSession, AListingThatGoesSilentEndsWithTheTimeOut) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two"), PlainMail("three")};
  box.silentDuringListAfter = 1;
  Upstream(box);
  form_->Timer_TimeOut->SetInterval(500);
  auto client = LoggedIn(box);
  client->SendLine("STAT").Expect("-ERR TimeOut");
  Run(*client);
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_NE(Log().find("Download failed - mails not served."), std::string::npos);
}

TEST_F(MailboxSession, AMailThatGoesSilentEndsWithTheTimeOut) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two", std::string(30000, 'q') + "\n")};
  box.silentDuringRetr = 2;
  Upstream(box);
  form_->Timer_TimeOut->SetInterval(500);
  auto client = LoggedIn(box);
  client->SendLine("STAT").Expect("-ERR TimeOut");
  Run(*client);
  EXPECT_TRUE(MessageStore.empty());
}

TEST_F(MailboxSession, LogOnlyActionAndDisabledGroupsChangeNothing) {
  TMailbox box;
  box.mails = {MailWithAttachment("tool", "tool.exe")};
  Settings("\"Aktion\"=dword:00000003\r\n");
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[0].size()))
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[0]))
      .Do([this](TPeerIo&, std::string&) {
        Settings(
            "\"CheckBox_CheckAttach_Skripte\"=dword:00000000\r\n"
            "\"CheckBox_CheckAttach_EXEs\"=dword:00000000\r\n"
            "\"CheckBox_CheckAttach_Other\"=dword:00000000\r\n");
        return true;
      })
      // A second STAT of the same connection downloads and checks everything again.
      .SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[0].size()));
  Run(*client);
  const auto& log = form_->Memo_LOG->Lines().Strings();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Blocking Attachment: tool.exe"), 1);
  EXPECT_EQ(Log().find("RENAMING"), std::string::npos);
  EXPECT_EQ(std::count(box.commands.begin(), box.commands.end(), "RETR 1"), 2);
  // With every group off the run logs only its first and last line.
  const auto last =
      std::find(log.rbegin(), log.rend(), "Checking now if blocking of mails necessary.");
  ASSERT_NE(last, log.rend());
  EXPECT_EQ(*(last - 1), "Checked for Attachments to be blocked.");
}

TEST_F(MailboxSession, LettersWhereANumberBelongsFailTheCheckWithoutServingIt) {
  Settings("\"Aktion\"=\"rename\"\r\n");
  TMailbox box;
  box.mails = {MailWithAttachment("tool", "tool.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT").ExpectPrefix("-ERR");
  Run(*client);
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_FALSE(form_->MailboxChecked);
}

TEST_F(MailboxSession, MalformedAndLargeMailsArriveWhole) {
  // Bytes of every value, broken header syntax, unbalanced boundaries, lines of dots; and a
  // mail far beyond the line buffer and the send pieces (the whole-program test takes 50 MiB).
  std::string junk = "no header at all\r\n--\r\n----\r\nContent-Type:\r\n.\r\n..\r\n";
  for (int i = 0; i < 20000; ++i) {
    char c = static_cast<char>((i * 131 + 7) % 256);
    junk += (c == '\n' || c == '\r') ? 'x' : c;
    if (i % 97 == 0) junk += "\r\n";
  }
  junk += "\r\n";
  std::string large = Crlf("Subject: large\nContent-Type: multipart/mixed; boundary=\"--x\"\n\n");
  const std::string line = std::string(98, 'L') + "\r\n";
  large.reserve(large.size() + 4u * 1024 * 1024);
  while (large.size() < 4u * 1024 * 1024) large += line;
  TMailbox box;
  box.mails = {junk, large};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SetStepTimeout(60000);
  client->SendLine("STAT")
      .Expect("+OK 2 " + std::to_string(junk.size() + large.size()))
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(junk))
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(large));
  Run(*client, 120000);
}

TEST_F(MailboxSession, CancelDuringTheDownloadAnswersTheAbortAndServesNothing) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two", std::string(30000, 'c') + "\n")};
  box.silentDuringRetr = 2;
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT").Expect("-ERR Abort requested by User");
  // The user presses Cancel while the second mail hangs half way.
  auto& loop = TMessageLoop::Current();
  TTimerId press = 0;
  press = loop.SetTimer(600, [&] {
    loop.KillTimer(press);
    form_->Button_AbbrechenClick();
  });
  Run(*client);
  loop.KillTimer(press);
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_TRUE(box.deleted.empty());
}

TEST_F(MailboxSession, ARudeListingIsIgnoredWhereItPointsOutsideAndFailsWhenCut) {
  // A listing line with a number below 1, or with a number already listed, touches nothing;
  // a listing cut off by a dropped session fails the check.
  server_ = std::make_unique<TScriptedServer>();
  server_->SendLine("+OK ready")
      .Expect("USER user")
      .SendLine("+OK")
      .Expect("PASS secret")
      .SendLine("+OK")
      .Expect("STAT")
      .SendLine("+OK 2 200")
      .Expect("LIST")
      .SendLine("+OK")
      .SendLine("0 5")
      .SendLine("-3 5")
      .SendLine("1 100")
      .SendLine("1 50")
      .Close();
  setenv("BRINDLECAP_UPSTREAM_PORT", server_->PortText().c_str(), 1);
  server_->Start();
  form_ = std::make_unique<TFormVazireRevivo>();
  TMailbox box;
  auto client = LoggedIn(box);
  client->SendLine("STAT").Expect("-ERR Error during download!");
  Run(*client);
  EXPECT_TRUE(server_->Succeeded()) << server_->Failure();
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_TRUE(MessageListing.empty());
  EXPECT_NE(Log().find("LISTLINE: Message 1 has 1 100 Bytes"), std::string::npos);
  EXPECT_EQ(Log().find("LISTLINE: Message 0"), std::string::npos);
  EXPECT_EQ(Log().find("LISTLINE: Message -3"), std::string::npos);
  EXPECT_EQ(Log().find("LISTLINE: Message 1 has 1 50"), std::string::npos);
}

TEST_F(MailboxSession, AMailProgramThatLeavesDuringTheCheckBreaksNothing) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two", std::string(30000, 'd') + "\n")};
  box.silentDuringRetr = 2;
  Upstream(box);
  auto client = LoggedIn(box);
  // The mail program leaves while the second mail hangs half way.
  client->SendLine("STAT").Pause(300);
  client->Close();
  Run(*client);
  ASSERT_TRUE(
      PumpUntil([&] { return Log().find("***WSocket - Session closed") != std::string::npos; }));
  ASSERT_TRUE(PumpUntil([&] { return form_->Download && form_->Download->StoreUsers == 0; }));
  // The check stopped because the connection was gone, not at the reply time limit.
  EXPECT_FALSE(form_->TimedOut);
  EXPECT_TRUE(MessageStore.empty());
  EXPECT_FALSE(form_->MailboxChecked);
  EXPECT_TRUE(box.deleted.empty());
}

// After the delete action, or the mail program's own DELE, the server counts fewer mails but
// keeps their numbers: a STAT sent again fetches the numbers the listing gives.
TEST_F(MailboxSession, StatAgainAfterDeletionsFetchesTheNumbersTheServerLists) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe"),
               MailWithAttachment("bad", "bad.vbs"), PlainMail("four")};
  Upstream(box);
  auto client = LoggedIn(box);
  const std::string kept = "+OK 2 " + std::to_string(box.mails[0].size() + box.mails[3].size());
  client->SendLine("STAT")
      .Expect(kept)
      .SendLine("STAT")
      .Expect(kept)
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[0]))
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(box.mails[3]))
      .SendLine("DELE 1")
      .ExpectPrefix("+OK")
      .SendLine("STAT")
      .Expect("+OK 1 " + std::to_string(box.mails[3].size()))
      .SendLine("RETR 1")
      .ExpectBytes(RetrReply(box.mails[3]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_EQ(std::count(box.commands.begin(), box.commands.end(), "RETR 4"), 3);
  EXPECT_EQ(std::count(box.commands.begin(), box.commands.end(), "RETR 2"), 1);
  EXPECT_TRUE(Contains(box.commands, "DELE 1"));
  EXPECT_EQ(box.expunged, (std::set<int>{1, 2, 3}));
}

TEST_F(MailboxSession, MailsAreFetchedInTheOrderTheServerListsThem) {
  const std::string first = PlainMail("listed first"), second = PlainMail("listed second", "x\n");
  server_ = std::make_unique<TScriptedServer>();
  server_->SendLine("+OK ready")
      .Expect("USER user")
      .SendLine("+OK")
      .Expect("PASS secret")
      .SendLine("+OK")
      .Expect("STAT")
      .SendLine("+OK 2 " + std::to_string(first.size() + second.size()))
      .Expect("LIST")
      .Send("+OK\r\n7 " + std::to_string(first.size()) + "\r\n3 " + std::to_string(second.size()) +
            "\r\n.\r\n")
      .Expect("UIDL")
      .SendLine("-ERR no unique ids here")
      .Expect("RETR 7")
      .Send("+OK\r\n" + DotStuffed(first))
      .Expect("RETR 3")
      .Send("+OK\r\n" + DotStuffed(second))
      .Expect("DELE 3")
      .SendLine("+OK deleted")
      .Expect("QUIT")
      .SendLine("+OK bye")
      .Close();
  setenv("BRINDLECAP_UPSTREAM_PORT", server_->PortText().c_str(), 1);
  server_->Start();
  form_ = std::make_unique<TFormVazireRevivo>();
  TMailbox box;
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .Expect("+OK 2 " + std::to_string(first.size() + second.size()))
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(second))
      .SendLine("DELE 2")
      .Expect("+OK deleted")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_TRUE(server_->Succeeded()) << server_->Failure() << server_->Transcript();
}

// After Cancel nothing more goes upstream: every command that needs the server gets the
// abort reply at once, and a mailbox checked before the Cancel is still served.
TEST_F(MailboxSession, AfterCancelCommandsThatNeedTheServerGetTheAbortReply) {
  const std::string aborted = "-ERR Request aborted by User";
  for (const bool checkedBefore : {true, false}) {
    TMailbox box;
    box.mails = {PlainMail("one")};
    Upstream(box);
    auto client = LoggedIn(box);
    if (checkedBefore)
      client->SendLine("STAT").Expect("+OK 1 " + std::to_string(box.mails[0].size()));
    client->Gate(1);
    if (checkedBefore) {
      client->SendLine("LIST")
          .Expect("+OK Listing follows")
          .Expect("1 " + std::to_string(box.mails[0].size()))
          .Expect(".")
          .SendLine("RETR 1")
          .ExpectBytes(RetrReply(box.mails[0]));
    } else {
      client->SendLine("LIST").Expect(aborted).SendLine("RETR 1").Expect(aborted);
    }
    client->SendLine("DELE 1")
        .Expect(aborted)
        .SendLine("STAT")
        .Expect(aborted)
        .SendLine("PASS secret")
        .Expect(aborted)
        .SendLine("QUIT")
        .Expect("+OK Vevazurod quits");
    client->Start();
    ASSERT_TRUE(PumpUntil([&] { return client->AtGate(1) || client->Done(); }, 30000));
    form_->Button_AbbrechenClick();
    client->Release(1);
    ASSERT_TRUE(PumpUntil([&] { return client->Done(); }, 30000)) << client->Transcript();
    EXPECT_TRUE(client->Succeeded()) << client->Failure() << "\n" << client->Transcript() << Log();
    FinishUpstream();
    // The server heard nothing after the Cancel and deleted nothing.
    const std::vector<std::string> before =
        checkedBefore
            ? std::vector<std::string>{"USER user", "PASS secret", "STAT", "LIST", "UIDL", "RETR 1"}
            : std::vector<std::string>{"USER user", "PASS secret"};
    EXPECT_EQ(box.commands, before);
    EXPECT_TRUE(box.expunged.empty());
    form_.reset();
  }
}

}  // namespace
