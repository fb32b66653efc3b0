// Status lines longer than the receive buffer: the first piece decides the reply, and the rest
// of the line is neither data of the reply nor the status line of the next one.
#include <gtest/gtest.h>

#include "logged_in_session.h"

using S = ScriptedPop3Server;

namespace {

TEST(Pop3LongStatusLine, TheRestOfAPositiveStatusLineIsNoDataOfTheMail) {
  LoggedInSession s;
  const std::string status = "+OK " + std::string(5000, 's');
  s.Start({S::Expect("RETR 1"), S::Send(status + "\r\nSubject: x\r\n\r\nbody\r\n.\r\n"),
           S::AwaitClose()});
  std::string mail;
  s.client.OnMessageLine = [&](TCustomPop3Cli* c) {
    mail += c->LastResponse();
    if (c->LastResponseComplete()) mail += "\r\n";
  };
  s.client.SetMsgNum(1);
  s.client.Retr();
  s.Wait(4);
  EXPECT_EQ(s.rec.done.back(), std::make_pair(pop3Retr, std::uint16_t(0)));
  EXPECT_EQ(mail, "Subject: x\r\n\r\nbody\r\n");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

TEST(Pop3LongStatusLine, TheRestArrivingAfterTheNextCommandIsNotItsReply) {
  LoggedInSession s;
  // The first 4093 bytes end the STAT; the rest of the line comes only after the NOOP.
  s.Start({S::Expect("STAT"), S::Send("+OK 2 300 " + std::string(5000, 'p')), S::Expect("NOOP"),
           S::Send("\r\n+OK\r\n"), S::AwaitClose()});
  s.client.Stat();
  s.Wait(4);
  EXPECT_EQ(s.rec.done.back(), std::make_pair(pop3Stat, std::uint16_t(0)));
  EXPECT_EQ(s.client.MsgCount(), 2);
  s.client.Noop();
  s.Wait(5);
  EXPECT_EQ(s.rec.done.back(), std::make_pair(pop3Noop, std::uint16_t(0)));
  EXPECT_EQ(s.client.LastResponse(), "+OK");
  s.client.Abort();
  EXPECT_TRUE(s.server.Finish().empty());
}

}  // namespace
