// The commands: texts sent, values read from replies, multi-line replies and refusals.
#include <gtest/gtest.h>

#include "logged_in_session.h"

using S = ScriptedPop3Server;

namespace {

using Session = LoggedInSession;

std::string ExceptionText(const std::function<void()>& f) {
  try {
    f();
  } catch (const Pop3Exception& e) {
    return e.what();
  }
  return "(no exception)";
}

}  // namespace

TEST(Pop3Commands, LoginStatListDeleNoopRsetLastAndQuit) {
  Session s;
  s.Start({S::Expect("STAT"), S::Send("+OK 2 320\r\n"), S::Expect("LIST 3"),
           S::Send("+OK 3 1200\r\n"), S::Expect("DELE 3"), S::Send("+OK deleted\r\n"),
           S::Expect("NOOP"), S::Send("+OK\r\n"), S::Expect("RSET"), S::Send("+OK\r\n"),
           S::Expect("LAST"), S::Send("+OK 7 0\r\n"), S::Expect("QUIT"), S::Send("+OK bye\r\n"),
           S::Pause(50), S::Close()});
  EXPECT_EQ(s.rec.done[0].first, pop3Connect);
  EXPECT_EQ(s.rec.done[1], std::make_pair(pop3User, std::uint16_t(0)));
  EXPECT_EQ(s.rec.done[2], std::make_pair(pop3Pass, std::uint16_t(0)));
  EXPECT_EQ(s.client.LastResponse(), "+OK logged in");

  s.client.Stat();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Stat, std::uint16_t(0)));
  EXPECT_EQ(s.client.MsgCount(), 2);
  EXPECT_EQ(s.client.MsgSize(), 320);
  EXPECT_EQ(s.client.LastResponse(), "+OK 2 320");

  s.client.SetMsgNum(3);
  s.client.List();
  s.Wait(5);
  EXPECT_EQ(s.Last().first, pop3List);
  EXPECT_EQ(s.client.MsgNum(), 3);
  EXPECT_EQ(s.client.MsgSize(), 1200);
  EXPECT_TRUE(s.rec.events.empty());  // a single-line LIST has no listing events

  s.client.Dele();
  s.Wait(6);
  EXPECT_EQ(s.Last().first, pop3Dele);
  EXPECT_EQ(s.client.LastResponse(), "+OK deleted");
  s.client.Noop();
  s.Wait(7);
  s.client.RSet();
  s.Wait(8);
  s.client.Last();
  s.Wait(9);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Last, std::uint16_t(0)));
  EXPECT_EQ(s.client.MsgNum(), 7);
  EXPECT_EQ(s.client.MsgSize(), 0);

  s.client.Quit();
  // The status line alone does not end a QUIT: the close must come too.
  ASSERT_TRUE(PumpUntil([&] { return s.client.ProtocolState() == pop3Disconnected; }));
  EXPECT_EQ(s.rec.done.size(), 9u);
  s.Wait(10);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Quit, std::uint16_t(0)));
  EXPECT_FALSE(s.client.Connected());
  EXPECT_EQ(s.client.State(), pop3Idle);
  EXPECT_TRUE(s.server.Finish().empty());
  // The traced dialogue shows commands and status lines.
  EXPECT_NE(std::find(s.rec.display.begin(), s.rec.display.end(), "> USER alice"),
            s.rec.display.end());
  EXPECT_NE(std::find(s.rec.display.begin(), s.rec.display.end(), "< +OK 2 320"),
            s.rec.display.end());
}

TEST(Pop3Commands, StatWithoutNumbersAndWithOneNumberLeavesZeros) {
  Session s;
  s.Start({S::Expect("STAT"), S::Send("+OK\r\n"), S::Expect("STAT"), S::Send("+OK 5\r\n"),
           S::AwaitClose()});
  s.client.Stat();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Stat, std::uint16_t(0)));
  EXPECT_EQ(s.client.MsgCount(), 0);
  EXPECT_EQ(s.client.MsgSize(), 0);
  s.client.Stat();
  s.Wait(5);
  EXPECT_EQ(s.Last().second, 0);
  EXPECT_EQ(s.client.MsgCount(), 0);
  EXPECT_EQ(s.client.MsgSize(), 0);
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, NumbersBeyond32BitsFailTheRequestButKeepTheSessionInStep) {
  Session s;
  s.Start({S::Expect("STAT"), S::Send("+OK 99999999999 5\r\n"), S::Expect("LIST"),
           S::Send("+OK\r\n1 100\r\n2 4294967296\r\n3 300\r\n.\r\n"), S::Expect("NOOP"),
           S::Send("+OK still here\r\n"), S::AwaitClose()});
  s.client.Stat();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Stat, std::uint16_t(500)));
  EXPECT_EQ(s.client.MsgCount(), 0);
  EXPECT_EQ(s.client.MsgSize(), 0);
  EXPECT_EQ(s.client.ErrorMessage(), "-ERR Number in reply out of range");
  s.client.SetMsgNum(0);
  s.client.List();
  s.Wait(5);
  EXPECT_EQ(s.Last(), std::make_pair(pop3List, std::uint16_t(500)));
  // Every line was still read, the bad one reported with zeros.
  EXPECT_EQ(s.rec.events,
            (std::vector<std::string>{"list-begin", "list-line 1 100", "list-line 2 4294967296",
                                      "list-line 3 300", "list-end"}));
  s.client.Noop();
  s.Wait(6);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Noop, std::uint16_t(0)));
  EXPECT_EQ(s.client.LastResponse(), "+OK still here");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, ListingAndUidlLinesSetValuesDuringTheLineEvent) {
  Session s;
  s.Start({S::Expect("LIST"), S::Send("+OK 2 messages\r\n1 1234\r\n2 56\r\n.\r\n"),
           S::Expect("UIDL"), S::Send("+OK\r\n1 abc\r\n3 QhdPYR:00WBw1Ph7x7 trailing\r\n.\r\n"),
           S::Expect("UIDL 3"), S::Send("+OK 3 zz9\r\n"), S::AwaitClose()});
  std::vector<std::pair<int, int>> pairs;
  std::vector<std::pair<int, std::string>> ids;
  s.client.OnListLine = [&](TCustomPop3Cli* c) { pairs.emplace_back(c->MsgNum(), c->MsgSize()); };
  s.client.OnUidlLine = [&](TCustomPop3Cli* c) { ids.emplace_back(c->MsgNum(), c->MsgUidl()); };
  s.client.List();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3List, std::uint16_t(0)));
  EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{1, 1234}, {2, 56}}));
  EXPECT_EQ(s.client.MsgNum(), 2);
  EXPECT_EQ(s.client.MsgSize(), 56);
  EXPECT_EQ(s.client.LastResponse(), "");
  s.client.SetMsgNum(0);
  s.client.Uidl();
  s.Wait(5);
  EXPECT_EQ(ids, (std::vector<std::pair<int, std::string>>{{1, "abc"}, {3, "QhdPYR:00WBw1Ph7x7"}}));
  s.client.SetMsgNum(3);
  s.client.Uidl();
  s.Wait(6);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Uidl, std::uint16_t(0)));
  EXPECT_EQ(s.client.MsgNum(), 3);
  EXPECT_EQ(s.client.MsgUidl(), "zz9");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, RetrUnstuffsDotsCapturesHeadersAndReportsEveryLine) {
  Session s;
  std::string reply =
      "+OK message follows\r\n"
      "Subject: hello\r\n"
      "\tfolded: not a field\r\n"
      "X-Custom: v\r\n"
      "\r\n"
      "..\r\n"
      "..text\r\n"
      ".text\r\n"
      "Subject: in the body\r\n"
      ".\r\n";
  // Split in awkward places, several lines per read as well.
  s.Start({S::Expect("RETR 0"), S::SendSlowly(reply, 13, 2), S::AwaitClose()});
  s.client.SetMsgNum(0);
  std::size_t responsesBefore = s.rec.responses.size();
  s.client.Retr();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Retr, std::uint16_t(0)));
  EXPECT_EQ(s.rec.events,
            (std::vector<std::string>{"message-begin", "message-line Subject: hello",
                                      "message-line \tfolded: not a field",
                                      "message-line X-Custom: v", "header-end", "message-line ",
                                      "message-line .", "message-line .text", "message-line .text",
                                      "message-line Subject: in the body", "message-end"}));
  EXPECT_EQ(s.client.HeaderSubject(), " hello");
  EXPECT_EQ(s.client.HeaderKeyword(), "x-custom");
  EXPECT_EQ(s.client.HeaderData(), " v");
  EXPECT_EQ(s.client.LastResponse(), "");
  // OnResponse saw every line before unstuffing, the final dot included.
  std::vector<std::string> seen(s.rec.responses.begin() + long(responsesBefore),
                                s.rec.responses.end());
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[5], "..");
  EXPECT_EQ(seen[9], ".");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, TopSendsNumberThenLinesAndRefusesNegativeLines) {
  Session s;
  s.Start({S::Expect("TOP 2 0"), S::Send("+OK\r\nFrom: x\r\n\r\n.\r\n"), S::AwaitClose()});
  s.client.SetMsgLines(-1);
  EXPECT_EQ(ExceptionText([&] { s.client.Top(); }), "Invalid MsgLines for TOP command");
  EXPECT_EQ(s.client.State(), pop3Idle);
  s.client.SetMsgNum(2);
  s.client.SetMsgLines(0);
  s.client.Top();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Top, std::uint16_t(0)));
  EXPECT_EQ(s.client.HeaderFrom(), " x");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, LongLinesArriveInPiecesAndZeroBytesSurvive) {
  Session s;
  std::string longLine;
  for (int i = 0; i < 10000; ++i) longLine.push_back(char('a' + i % 26));
  // A line whose last piece is a lone dot must not end the message.
  std::string dotTail = std::string(4093, 'q') + ".";
  std::string withZero("a\0b", 3);
  s.Start({S::Expect("RETR 1"),
           S::Send("+OK\r\n" + longLine + "\r\n" + dotTail + "\r\n" + withZero + "\r\n.\r\n"),
           S::AwaitClose()});
  std::vector<std::string> lines;
  s.client.OnMessageLine = [&](TCustomPop3Cli* c) {
    lines.push_back(c->LastResponse());
    s.rec.complete.push_back(c->LastResponseComplete());
  };
  s.client.SetMsgNum(1);
  s.client.Retr();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Retr, std::uint16_t(0)));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].size(), 4093u);
  EXPECT_EQ(lines[1].size(), 4093u);
  EXPECT_EQ(lines[0] + lines[1] + lines[2], longLine);
  EXPECT_EQ(s.rec.complete, (std::vector<bool>{false, false, true, false, true, true}));
  EXPECT_EQ(lines[3] + lines[4], dotTail);
  EXPECT_EQ(lines[5], withZero);
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

// The CR of a 4092-byte line fills the buffer and its LF comes in the next read: the line is
// whole, and the lines after it are judged afresh, the stuffed one unstuffed, the dot ending.
TEST(Pop3Commands, LineEndBetweenTwoReadsOfAFullBufferEndsTheLine) {
  Session s;
  const std::string line(4092, 'r');
  s.Start({S::Expect("RETR 1"), S::Send("+OK\r\n"), S::Pause(30), S::Send(line + "\r"),
           S::Pause(30), S::Send("\n..stuffed\r\n" + line + "\r"), S::Pause(30), S::Send("\n.\r\n"),
           S::AwaitClose()});
  std::vector<std::string> lines;
  std::vector<bool> complete;
  s.client.OnMessageLine = [&](TCustomPop3Cli* c) {
    lines.push_back(c->LastResponse());
    complete.push_back(c->LastResponseComplete());
  };
  s.client.SetMsgNum(1);
  s.client.Retr();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Retr, std::uint16_t(0)));
  EXPECT_EQ(lines, (std::vector<std::string>{line, ".stuffed", line}));
  EXPECT_EQ(complete, (std::vector<bool>{true, true, true}));
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, NegativeRepliesFailWithoutEventsAndKeepTheFirstError) {
  Session s;
  s.Start({S::Expect("RETR 9"), S::Send("-ERR no such message\r\n"), S::Expect("DELE 9"),
           S::Send("-ERR still no\r\n"), S::AwaitClose()});
  s.client.SetMsgNum(9);
  s.client.Retr();
  s.Wait(4);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Retr, std::uint16_t(500)));
  EXPECT_TRUE(s.rec.events.empty());
  EXPECT_EQ(s.client.ErrorMessage(), "-ERR no such message");
  EXPECT_EQ(s.client.ProtocolState(), pop3Transaction);
  s.client.Dele();
  s.Wait(5);
  EXPECT_EQ(s.Last(), std::make_pair(pop3Dele, std::uint16_t(500)));
  EXPECT_EQ(s.client.LastResponse(), "-ERR still no");
  EXPECT_EQ(s.client.ErrorMessage(), "-ERR no such message");
  s.client.ClearErrorMessage();
  EXPECT_EQ(s.client.ErrorMessage(), "");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3Commands, CommandsRefusedInTheWrongStateSendNothing) {
  S server;
  server.Play({S::Send("+OK hi\r\n"), S::Expect("USER bob"), S::Send("+OK\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetUserName("bob");
  client.Connect();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 1; }));
  EXPECT_EQ(ExceptionText([&] { client.Stat(); }), "-ERR STAT command invalid now");
  EXPECT_EQ(client.ErrorMessage(), "-ERR STAT command invalid now");
  EXPECT_EQ(rec.display.back(), "-ERR STAT command invalid now");
  EXPECT_EQ(ExceptionText([&] { client.Retr(); }), "-ERR RETR command invalid now");
  client.User();
  EXPECT_EQ(ExceptionText([&] { client.User(); }), "POP3 component not ready");
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(client.ProtocolState(), pop3WaitingPass);
  EXPECT_EQ(ExceptionText([&] { client.User(); }), "-ERR USER command invalid now");
  EXPECT_EQ(ExceptionText([&] { client.APop(); }), "-ERR APOP command invalid now");
  EXPECT_EQ(client.ErrorMessage(), "-ERR APOP command invalid now");
  EXPECT_EQ(client.State(), pop3Idle);
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
  EXPECT_EQ(server.Received(), std::vector<std::string>{"USER bob"});
}

TEST(Pop3Commands, ApopSendsTheLowerCaseDigestOfTimestampAndUntrimmedPassword) {
  S server;
  server.Play({S::Send("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n"),
               S::Expect("APOP mrose c4c9334bac560ecc979e58001b3e22fb"),
               S::Send("+OK maildrop has 1 message\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetUserName(" mrose");
  client.SetPassWord("tanstaaf");
  client.Connect();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 1; }));
  client.APop();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 2; }));
  EXPECT_EQ(rec.done[1], std::make_pair(pop3APop, std::uint16_t(0)));
  EXPECT_EQ(client.ProtocolState(), pop3Transaction);
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Commands, PasswordWithTrailingSpaceIsTrimmedForPassOnly) {
  S server;
  server.Play({S::Send("+OK <ts@x>\r\n"), S::Expect("USER u"), S::Send("+OK\r\n"),
               S::Expect("PASS pw"), S::Send("-ERR wrong\r\n"), S::AwaitClose()});
  TPop3Cli client;
  Pop3Recorder rec;
  rec.Attach(client);
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetUserName("u");
  client.SetPassWord("pw ");
  client.Connect();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 1; }));
  client.User();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 2; }));
  client.Pass();
  ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 3; }));
  EXPECT_EQ(rec.done[2], std::make_pair(pop3Pass, std::uint16_t(500)));
  EXPECT_EQ(client.ProtocolState(), pop3WaitingPass);
  client.Abort();
  EXPECT_TRUE(server.Finish().empty());
}

TEST(Pop3Commands, GarbageRepliesEndEveryRequestWithoutHarm) {
  // Random bytes with stray CRs, LFs, zeros and dots, in odd-sized pieces: each request must
  // still end exactly once, with success or the session-closed error.
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 8; ++round) {
    std::string junk;
    std::size_t size = 2000 + next() % 20000;
    static const char kAlphabet[] = {'\r', '\n', '.', '\0', '+', '-', 'a', ' ', '\t', char(0xff)};
    for (std::size_t i = 0; i < size; ++i) junk.push_back(kAlphabet[next() % sizeof kAlphabet]);
    S server;
    server.Play({S::Send("+OK hi\r\n"), S::Expect("USER u"), S::Send("+OK\r\n"),
                 S::Expect("PASS p"), S::Send("+OK\r\n"), S::Expect("RETR 1"),
                 S::SendSlowly("+OK\r\n" + junk, int(1 + next() % 5000), 1), S::Close()});
    TPop3Cli client;
    Pop3Recorder rec;
    rec.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetUserName("u");
    client.SetPassWord("p");
    client.Open();
    ASSERT_TRUE(PumpUntil([&] { return rec.done.size() == 1; }));
    ASSERT_EQ(rec.done[0].second, 0);
    client.SetMsgNum(1);
    client.Retr();
    ASSERT_TRUE(PumpUntil([&] { return !client.Connected() && client.State() == pop3Idle; }))
        << "round " << round;
    PumpFor(10);
    ASSERT_EQ(rec.done.size(), 2u) << "round " << round;
    EXPECT_EQ(rec.done[1].first, pop3Retr);
    EXPECT_TRUE(rec.done[1].second == 0 || rec.done[1].second == 10004) << rec.done[1].second;
    EXPECT_TRUE(server.Finish().empty());
  }
}
