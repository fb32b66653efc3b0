// TOP's arguments and text, and the server's unique-id lines.

#include <gtest/gtest.h>

#include "inspection/mail_top.h"
#include "inspection/unique_ids.h"

namespace {

TEST(TopArguments, TwoNumbersAfterTheKeyword) {
  auto args = ParseTopArguments("TOP 2 10\r\n");
  EXPECT_EQ(args.Number, 2);
  EXPECT_EQ(args.Lines, 10);
  args = ParseTopArguments("TOP  3   0  ");
  EXPECT_EQ(args.Number, 3);
  EXPECT_EQ(args.Lines, 0);
  // The count some mail programs use for "the whole mail".
  EXPECT_EQ(ParseTopArguments("TOP 1 99999999\r\n").Lines, 99999999);
}

TEST(TopArguments, AnythingElseGivesMinusOne) {
  for (const char* wrong :
       {"TOP 1\r\n", "TOP\r\n", "TOP 1 2 3\r\n", "TOPX 1 2\r\n", "TOP one 2\r\n"}) {
    const auto args = ParseTopArguments(wrong);
    EXPECT_TRUE(args.Number == -1 || args.Lines == -1) << wrong;
  }
  EXPECT_EQ(ParseTopArguments("TOP 1 -2\r\n").Lines, -1);
  EXPECT_EQ(ParseTopArguments("TOP 1 99999999999\r\n").Lines, -1);
  EXPECT_EQ(ParseTopArguments("TOP x 5\r\n").Number, -1);
  EXPECT_EQ(ParseTopArguments("TOP x 5\r\n").Lines, 5);
}

TEST(TopOfMail, HeaderBlankLineAndTheFirstBodyLines) {
  const std::string mail = "From: a\r\nSubject: s\r\n\r\nline 1\r\n.line 2\r\nline 3\r\n";
  EXPECT_EQ(TopOfMail(mail, 0), "From: a\r\nSubject: s\r\n\r\n");
  EXPECT_EQ(TopOfMail(mail, 2), "From: a\r\nSubject: s\r\n\r\nline 1\r\n.line 2\r\n");
  EXPECT_EQ(TopOfMail(mail, 3), mail);
  EXPECT_EQ(TopOfMail(mail, 99999999), mail);
}

TEST(TopOfMail, MailsWithoutTheUsualShape) {
  // All header: the mail comes whole, whatever the count.
  EXPECT_EQ(TopOfMail("From: a\r\nSubject: s\r\n", 0), "From: a\r\nSubject: s\r\n");
  // No header at all: the blank line, then the body's lines.
  EXPECT_EQ(TopOfMail("\r\nbody 1\r\nbody 2\r\n", 1), "\r\nbody 1\r\n");
  // A last line without its line end belongs to the body like any other.
  EXPECT_EQ(TopOfMail("H: v\r\n\r\nb1\r\nb2", 2), "H: v\r\n\r\nb1\r\nb2");
  EXPECT_EQ(TopOfMail("H: v\r\n\r\nb1\r\nb2", 1), "H: v\r\n\r\nb1\r\n");
  // A lone LF ends no line, as in byte-stuffing.
  EXPECT_EQ(TopOfMail("H: v\r\n\r\nb1\nb2\r\nb3\r\n", 1), "H: v\r\n\r\nb1\nb2\r\n");
  EXPECT_EQ(TopOfMail("", 5), "");
}

TEST(UidlLine, NumberAndId) {
  auto line = ParseUidlLine("1 000000016b19803a");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Number, 1);
  EXPECT_EQ(line->Id, "000000016b19803a");
  line = ParseUidlLine("12  <a.b@c>~! ");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Number, 12);
  EXPECT_EQ(line->Id, "<a.b@c>~!");
  EXPECT_TRUE(ParseUidlLine("3 " + std::string(70, 'x')));
}

TEST(UidlLine, RefusesWhatAMailProgramCouldNotTakeBack) {
  for (const char* wrong : {"", "1", "1 ", " 1 id", "x id", "0 id", "-1 id", "+1 id", "1 two words",
                            "1 tab\tinside", "99999999999 id"}) {
    EXPECT_FALSE(ParseUidlLine(wrong)) << wrong;
  }
  EXPECT_FALSE(ParseUidlLine("3 " + std::string(71, 'x')));
  EXPECT_FALSE(ParseUidlLine("3 caf\xe9"));
}

}  // namespace
