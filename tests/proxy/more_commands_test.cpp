// CAPA, NOOP, UIDL, TOP and RSET against a scripted server: what mail programs that keep their
// mail on the server, or fetch with TOP, rely on.

#include <gtest/gtest.h>

#include "mailbox_fixture.h"

namespace {

using namespace proxytest;

const char kCapabilities[] =
    "+OK Capability list follows\r\nUSER\r\nUIDL\r\nTOP\r\nPIPELINING\r\n"
    "IMPLEMENTATION Brindlecap\r\n.\r\n";

// Reads the lines of a multi-line reply, still stuffed, up to its terminating line.
TStep ReadUntilDot(std::string& into) {
  return [&into](TPeerIo& io, std::string& failure) {
    for (;;) {
      auto line = io.ReadLine(10000);
      if (!line) {
        failure = "a multi-line reply did not end";
        return false;
      }
      if (*line == ".") return true;
      into += *line + "\r\n";
    }
  };
}

TEST_F(MailboxSession, CapaInEveryStateAndNoopNeverReachTheServer) {
  TMailbox box;
  box.mails = {PlainMail("one")};
  Upstream(box);
  TScriptedClient client(listenPort_);
  client.ExpectPrefix("+OK Welcome")
      .SendLine("CAPA")
      .ExpectBytes(kCapabilities)
      .SendLine("NOOP")
      .Expect("+OK")
      .SendLine("USER 127.0.0.1/" + box.user)
      .ExpectPrefix("+OK")
      .SendLine("CAPA")
      .ExpectBytes(kCapabilities)
      .SendLine("PASS " + box.password)
      .ExpectPrefix("+OK")
      .SendLine("CAPA")
      .ExpectBytes(kCapabilities)
      .SendLine("NOOP")
      .Expect("+OK")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(client);
  FinishUpstream();
  for (const std::string& command : box.commands) {
    EXPECT_TRUE(command.rfind("CAPA", 0) != 0 && command.rfind("NOOP", 0) != 0) << command;
  }
}

TEST_F(MailboxSession, UidlGivesTheServersIdsAtTheStorePositions) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe"), PlainMail("three")};
  box.uids = {"uid-one", "uid-evil", "uid-three"};
  Upstream(box);
  auto client = LoggedIn(box);
  // No STAT: the first UIDL checks the mailbox first.
  client->SendLine("UIDL")
      .Expect("+OK Listing follows")
      .Expect("1 uid-one")
      .Expect("2 uid-three")
      .Expect(".")
      .SendLine("UIDL 2")
      .Expect("+OK 2 uid-three")
      .SendLine("UIDL 3")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("UIDL x")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("STAT")
      .ExpectPrefix("+OK 2 ")
      .SendLine("UIDL 1")
      .Expect("+OK 1 uid-one")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  // The server's listing is asked for by each check, after LIST and before the downloads.
  const auto& c = box.commands;
  EXPECT_EQ(std::count(c.begin(), c.end(), "UIDL"), 2);
  const auto list = std::find(c.begin(), c.end(), "LIST");
  const auto uidl = std::find(c.begin(), c.end(), "UIDL");
  const auto retr = std::find(c.begin(), c.end(), "RETR 1");
  EXPECT_TRUE(list < uidl && uidl < retr);
  EXPECT_NE(Log().find("Unique ids of 3 mails taken."), std::string::npos) << Log();
}

TEST_F(MailboxSession, AServerWithoutUidlStillServesItsMail) {
  TMailbox box;
  box.mails = {PlainMail("one"), PlainMail("two")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .ExpectPrefix("+OK 2 ")
      .SendLine("UIDL")
      .Expect("-ERR Unknown command: UIDL")
      .SendLine("UIDL 1")
      .Expect("-ERR Unknown command: UIDL")
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(box.mails[1]))
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  EXPECT_NE(Log().find("Server refused UIDL: -ERR Unknown command: UIDL"), std::string::npos);
}

TEST_F(MailboxSession, TopSendsTheHeaderAndTheFirstLinesOfTheStoredMail) {
  TMailbox box;
  box.mails = {PlainMail("dots", "first\n.second\n..third\nfourth\n"),
               MailWithAttachment("tool", "tool.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  const std::string header =
      "From: Bob <bob@example.org>\r\nTo: Alice <alice@example.org>\r\nSubject: dots\r\n\r\n";
  // As some mail programs do: the header alone before each RETR, and no STAT at all.
  client->SendLine("TOP 1 0")
      .ExpectBytes("+OK Top of message follows\r\n" + header + ".\r\n")
      .SendLine("TOP 1 2")
      .ExpectBytes("+OK Top of message follows\r\n" + header + "first\r\n..second\r\n.\r\n")
      .SendLine("TOP 1 99999999")
      .ExpectBytes("+OK Top of message follows\r\n" + DotStuffed(box.mails[0]))
      .SendLine("TOP 3 0")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("TOP 1")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("TOP 1 x")
      .Expect("-ERR Messagenumber too high!")
      .SendLine("TOP 2 0")
      .Expect("+OK Top of message follows");
  // The renamed mail as RETR sends it, renamed part and notice and all.
  std::string top, whole, retr;
  client->Do(ReadUntilDot(top))
      .SendLine("TOP 2 99999999")
      .Expect("+OK Top of message follows")
      .Do(ReadUntilDot(whole))
      .SendLine("RETR 2")
      .Expect("+OK Message follows")
      .Do(ReadUntilDot(retr));
  Run(*client);
  EXPECT_EQ(std::count(box.commands.begin(), box.commands.end(), "STAT"), 1);
  EXPECT_EQ(retr.substr(0, retr.find("\r\n\r\n") + 4), top);
  EXPECT_EQ(whole, retr);
  EXPECT_NE(retr.find("tool.exeBLOCKED"), std::string::npos) << retr;
}

TEST_F(MailboxSession, RsetUndoesTheMailProgramsDeletionsButNotThePolicys) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe"), PlainMail("three")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .ExpectPrefix("+OK 2 ")
      .SendLine("DELE 1")
      .ExpectPrefix("+OK")
      .SendLine("DELE 2")
      .ExpectPrefix("+OK")
      // A second check in between finds every mail deleted; the policy's deletion is still
      // remembered for the session.
      .SendLine("STAT")
      .Expect("+OK 0 0")
      .SendLine("RSET")
      .Expect("+OK")
      // The mail program's two deletions are undone, the policy's is not.
      .SendLine("STAT")
      .ExpectPrefix("+OK 2 ")
      .SendLine("DELE 2")
      .ExpectPrefix("+OK")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  // Server mail 1 stays; mail 2 (the policy's) and mail 3 (deleted after RSET) go.
  EXPECT_EQ(box.expunged, (std::set<int>{2, 3}));
  const auto& c = box.commands;
  const auto rset = std::find(c.begin(), c.end(), "RSET");
  ASSERT_NE(rset, c.end());
  EXPECT_EQ(*(rset + 1), "DELE 2");
}

// Some mail programs send STAT twice. After deletions in the same session (the policy's, the
// mail program's) the server's listing has gaps, and every mail keeps its server number.
TEST_F(MailboxSession, ASecondStatAfterDeletionsKeepsEachMailsUniqueId) {
  Settings("\"Aktion\"=dword:00000002\r\n");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe"), PlainMail("three"),
               PlainMail("four")};
  box.uids = {"u1", "u2", "u3", "u4"};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .ExpectPrefix("+OK 3 ")
      .SendLine("DELE 1")
      .ExpectPrefix("+OK")
      .SendLine("STAT")
      .Expect("+OK 2 " + std::to_string(box.mails[2].size() + box.mails[3].size()))
      .SendLine("UIDL")
      .Expect("+OK Listing follows")
      .Expect("1 u3")
      .Expect("2 u4")
      .Expect(".")
      .SendLine("RETR 2")
      .ExpectBytes(RetrReply(box.mails[3]))
      .SendLine("DELE 1")
      .ExpectPrefix("+OK")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_EQ(box.expunged, (std::set<int>{1, 2, 3}));
}

TEST_F(MailboxSession, RsetDeletesNothingThePolicyOnlyKeptBack) {
  // A mail the delete action could not copy first is kept from the mail program but stays on
  // the server; RSET must not delete it either.
  Settings("\"Aktion\"=dword:00000002\r\n");
  fs::create_directories(folder_ + "/data/brindlecap");
  Write("data/brindlecap/quarantine", "a file where the folder belongs");
  TMailbox box;
  box.mails = {PlainMail("one"), MailWithAttachment("evil", "evil.exe")};
  Upstream(box);
  auto client = LoggedIn(box);
  client->SendLine("STAT")
      .ExpectPrefix("+OK 1 ")
      .SendLine("RSET")
      .Expect("+OK")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(*client);
  FinishUpstream();
  EXPECT_FALSE(Contains(box.commands, "DELE 2"));
  EXPECT_TRUE(box.expunged.empty());
}

TEST_F(MailboxSession, RsetWithoutALoginIsRefused) {
  TMailbox box;
  Upstream(box);
  TScriptedClient client(listenPort_);
  client.ExpectPrefix("+OK Welcome")
      .SendLine("RSET")
      .ExpectPrefix("-ERR")
      .SendLine("LIST")
      .Expect("-ERR No Messages!")
      .SendLine("UIDL")
      .Expect("-ERR No Messages!")
      .SendLine("QUIT")
      .Expect("+OK Vevazurod quits");
  Run(client);
}

}  // namespace
