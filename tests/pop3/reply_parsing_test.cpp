#include "pop3/reply_parsing.h"

#include <gtest/gtest.h>

#include "pop3/header_capture.h"

TEST(StatusLine, OnlyTheFirstCharacterCounts) {
  EXPECT_EQ(JudgeStatusLine("+OK"), 0);
  EXPECT_EQ(JudgeStatusLine("+"), 0);
  EXPECT_EQ(JudgeStatusLine("-ERR no"), 500);
  EXPECT_EQ(JudgeStatusLine(""), 500);
  EXPECT_EQ(JudgeStatusLine(" +OK"), 500);
}

TEST(ApopTimestamp, BracketsIncludedNothingAround) {
  EXPECT_EQ(ExtractApopTimestamp("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us> x"),
            "<1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(ExtractApopTimestamp("+OK ready"), "");
  EXPECT_EQ(ExtractApopTimestamp("+OK <unclosed"), "");
  EXPECT_EQ(ExtractApopTimestamp("+OK > before <a> <b>"), "<a>");
}

TEST(NumberPair, StatListAndLastForms) {
  std::int32_t a = -1, b = -1;
  EXPECT_EQ(ParseNumberPair("+OK 2 320", a, b), TNumberParse::Ok);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 320);
  EXPECT_EQ(ParseNumberPair("1 1234", a, b), TNumberParse::Ok);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1234);
  EXPECT_EQ(ParseNumberPair("+OK\t7 \t 9 octets", a, b), TNumberParse::Ok);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 9);
  // Text after the first number without a digit gives a second value of 0.
  EXPECT_EQ(ParseNumberPair("+OK 5 x", a, b), TNumberParse::Ok);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 0);
}

TEST(NumberPair, MissingNumbersLeaveBothZero) {
  std::int32_t a = -1, b = -1;
  EXPECT_EQ(ParseNumberPair("+OK", a, b), TNumberParse::Missing);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
  a = b = -1;
  EXPECT_EQ(ParseNumberPair("+OK 4", a, b), TNumberParse::Missing);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
  a = b = -1;
  EXPECT_EQ(ParseNumberPair("+OK 4 \r\n", a, b), TNumberParse::Missing);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
}

TEST(NumberPair, NumbersBeyond32BitsAreRefusedWhole) {
  std::int32_t a = -1, b = -1;
  EXPECT_EQ(ParseNumberPair("+OK 2147483647 2147483647", a, b), TNumberParse::Ok);
  EXPECT_EQ(a, 2147483647);
  EXPECT_EQ(ParseNumberPair("+OK 2147483648 5", a, b), TNumberParse::Overflow);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(ParseNumberPair("+OK 3 99999999999999999999999", a, b), TNumberParse::Overflow);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
}

TEST(NumberAndId, IdStopsAtTheFirstSpaceOrUnprintable) {
  std::int32_t n = -1;
  std::string id = "old";
  EXPECT_EQ(ParseNumberAndId("3 QhdPYR:00WBw1Ph7x7 trailing text", n, id), TNumberParse::Ok);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(id, "QhdPYR:00WBw1Ph7x7");
  EXPECT_EQ(ParseNumberAndId("+OK 12   abc\x01"
                             "def",
                             n, id),
            TNumberParse::Ok);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(id, "abc");
  EXPECT_EQ(ParseNumberAndId("+OK 4", n, id), TNumberParse::Ok);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(id, "");
  // A tab is not skipped before the id.
  EXPECT_EQ(ParseNumberAndId("5\tid", n, id), TNumberParse::Ok);
  EXPECT_EQ(id, "");
  EXPECT_EQ(ParseNumberAndId("+OK none", n, id), TNumberParse::Missing);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(ParseNumberAndId("9999999999 id", n, id), TNumberParse::Overflow);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(id, "");
}

TEST(Unstuffing, OnlyADoubleDotLosesItsFirstDot) {
  std::string line = "..";
  UnstuffDataLine(line);
  EXPECT_EQ(line, ".");
  line = "..text";
  UnstuffDataLine(line);
  EXPECT_EQ(line, ".text");
  line = ".text";
  UnstuffDataLine(line);
  EXPECT_EQ(line, ".text");
  line = "text..";
  UnstuffDataLine(line);
  EXPECT_EQ(line, "text..");
}

TEST(Trim, SpacesAndControlCharactersGoBothEnds) {
  EXPECT_EQ(Pop3Trim(" \t user \r\n"), "user");
  EXPECT_EQ(Pop3Trim("a b"), "a b");
  EXPECT_EQ(Pop3Trim(" \x01 "), "");
}

TEST(HeaderCapture, KnownFieldsUnknownFieldsAndTheEnd) {
  TPop3HeaderValues v;
  EXPECT_FALSE(CaptureHeaderLine("Subject: hello", v));
  EXPECT_EQ(v.Subject, " hello");  // the leading space is kept
  EXPECT_EQ(v.Keyword, "subject");
  EXPECT_FALSE(CaptureHeaderLine(" X-Mailer :  tool", v));
  EXPECT_EQ(v.Keyword, "x-mailer");
  EXPECT_EQ(v.Data, "  tool");
  EXPECT_EQ(v.Subject, " hello");
  EXPECT_FALSE(CaptureHeaderLine("\tSubject: folded", v));
  EXPECT_EQ(v.Subject, " hello");
  EXPECT_FALSE(CaptureHeaderLine("FROM: a@b", v));
  EXPECT_FALSE(CaptureHeaderLine("to:c@d", v));
  EXPECT_FALSE(CaptureHeaderLine("Reply-To: r@s", v));
  EXPECT_FALSE(CaptureHeaderLine("Message-ID: <id@x>", v));
  EXPECT_FALSE(CaptureHeaderLine("Date: today", v));
  EXPECT_FALSE(CaptureHeaderLine("Return-Path: <rp>", v));
  EXPECT_FALSE(CaptureHeaderLine("Subject: second", v));
  EXPECT_EQ(v.From, " a@b");
  EXPECT_EQ(v.To, "c@d");
  EXPECT_EQ(v.ReplyTo, " r@s");
  EXPECT_EQ(v.MessageId, " <id@x>");
  EXPECT_EQ(v.Date, " today");
  EXPECT_EQ(v.ReturnPath, " <rp>");
  EXPECT_EQ(v.Subject, " second");
  EXPECT_FALSE(CaptureHeaderLine("no colon here", v));
  EXPECT_EQ(v.Keyword, "subject");
  EXPECT_TRUE(CaptureHeaderLine("", v));
}

TEST(HeaderCapture, LongFieldDataIsCut) {
  TPop3HeaderValues v;
  CaptureHeaderLine("Subject:" + std::string(20000, 'x'), v);
  EXPECT_EQ(v.Subject.size(), kHeaderDataLimit);
}
