// Report template filling, addresses, and the small pieces of the mailbox dialogue.

#include <gtest/gtest.h>

#include "inspection/mailbox_protocol.h"
#include "inspection/report_template.h"

namespace {

using Lines = std::vector<std::string>;

TEST(ExtractAddressRule, TakesWhatTheAngleBracketsHold) {
  EXPECT_EQ(ExtractAddress("\"Eve Example\" <eve@example.org>"), "eve@example.org");
  EXPECT_EQ(ExtractAddress("eve@example.org"), "eve@example.org");
  EXPECT_EQ(ExtractAddress("a > b < c"), "");
  EXPECT_EQ(ExtractAddress("<>"), "");
  EXPECT_EQ(ExtractAddress("only <open"), "only <open");
  EXPECT_EQ(ExtractAddress(""), "");
}

TEST(ReportTemplate, ThreePassesInOrderFirstOccurrencePerLine) {
  Lines lines = {"To: XXX%3", "Subject: Blocked: XXX%2", "Your mail to XXX%1 XXX%1 was blocked.",
                 "plain line"};
  FillReportTemplate(lines, "Sender <s@x>", "Hello there", "Rcpt <r@y>");
  EXPECT_EQ(lines, (Lines{"To: s@x", "Subject: Blocked: Hello there",
                          "Your mail to r@y XXX%1 was blocked.", "plain line"}));
}

TEST(ReportTemplate, LaterPassesSeeEarlierValues) {
  // A subject that itself carries a placeholder is filled by the third pass.
  Lines lines = {"XXX%2"};
  FillReportTemplate(lines, "s@x", "see XXX%3", "r@y");
  EXPECT_EQ(lines, (Lines{"see s@x"}));
}

TEST(NumberArgument, DecimalAfterTheKeywordOrMinusOne) {
  EXPECT_EQ(ParseNumberArgument("RETR 1\r\n"), 1);
  EXPECT_EQ(ParseNumberArgument("RETR 12\r\n"), 12);
  EXPECT_EQ(ParseNumberArgument("DELE  3\r\n"), 3);
  EXPECT_EQ(ParseNumberArgument("RETR 0\r\n"), 0);
  EXPECT_EQ(ParseNumberArgument("RETR -4\r\n"), -4);
  EXPECT_EQ(ParseNumberArgument("RETR one\r\n"), -1);
  EXPECT_EQ(ParseNumberArgument("RETR 1x\r\n"), -1);
  EXPECT_EQ(ParseNumberArgument("RETR\r\n"), -1);
  EXPECT_EQ(ParseNumberArgument("RETR 99999999999\r\n"), -1);
  EXPECT_EQ(ParseNumberArgument("RETR 2\n"), 2);
}

TEST(ListArgument, NoneOnlyForBlanks) {
  EXPECT_EQ(ParseListArgument("LIST\r\n"), std::nullopt);
  EXPECT_EQ(ParseListArgument("LIST  \r\n"), std::nullopt);
  EXPECT_EQ(ParseListArgument("LIST 2\r\n"), 2);
  EXPECT_EQ(ParseListArgument("LIST 0\r\n"), 0);
  EXPECT_EQ(ParseListArgument("LIST x\r\n"), -1);
  EXPECT_EQ(ParseListArgument("LISTX\r\n"), -1);
}

TEST(ListLine, NumberAndSizeOrNothing) {
  auto line = ParseListLine("1 1234");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Number, 1);
  EXPECT_EQ(line->Size, 1234);
  line = ParseListLine("7   20");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Size, 20);
  EXPECT_FALSE(ParseListLine(""));
  EXPECT_FALSE(ParseListLine("12"));
  EXPECT_FALSE(ParseListLine("x 12"));
  EXPECT_FALSE(ParseListLine("1 12 octets"));
  EXPECT_FALSE(ParseListLine("1 "));
  EXPECT_FALSE(ParseListLine("1 -5"));
  EXPECT_FALSE(ParseListLine("1 99999999999999999999"));
}

TEST(StatReply, CountAndSizeOrNothing) {
  auto stat = ParseStatReply("+OK 2 320");
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->Count, 2);
  EXPECT_EQ(stat->Size, 320);
  stat = ParseStatReply("+OK 0 0 mailbox empty");
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->Count, 0);
  // A size past 32 bits is still a size; a count past it is not a count.
  stat = ParseStatReply("+OK 3 5000000000");
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->Size, 5000000000);
  for (const char* broken :
       {"+OK", "+OK ", "+OK 2", "+OK -3 5", "+OK 3 -5", "+OK +3 5", "+OK x 5", "+OK 2x 5",
        "+OK 99999999999999999999 5", "+OK 2 99999999999999999999", "+OK2 5"}) {
    EXPECT_FALSE(ParseStatReply(broken)) << broken;
  }
}

std::string Stuff(std::initializer_list<std::string_view> pieces) {
  TByteStuffer stuffer;
  std::string out;
  for (auto piece : pieces) stuffer.Append(piece, out);
  return out;
}

TEST(ByteStuffing, DoublesALeadingDotOnEveryLine) {
  EXPECT_EQ(Stuff({".\r\nA\r\n..x\r\n"}), "..\r\nA\r\n...x\r\n");
  EXPECT_EQ(Stuff({"a.b\r\n"}), "a.b\r\n");
  // A lone LF does not start a line.
  EXPECT_EQ(Stuff({"a\n.b\r\n"}), "a\n.b\r\n");
  EXPECT_EQ(Stuff({""}), "");
}

TEST(ByteStuffing, LineBreaksSplitBetweenPiecesAreRecognised) {
  EXPECT_EQ(Stuff({"a\r", "\n.b\r\n"}), "a\r\n..b\r\n");
  EXPECT_EQ(Stuff({"a\r\n", ".b\r\n"}), "a\r\n..b\r\n");
  EXPECT_EQ(Stuff({"a", "\n.b"}), "a\n.b");
  EXPECT_EQ(Stuff({".", ".", "\r\n"}), "...\r\n");
}

}  // namespace
