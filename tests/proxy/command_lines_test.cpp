// Collecting the mail program's bytes into command lines, however TCP cut them.

#include "proxy/command_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every line handed out, too-long ones as "<too long>".
std::vector<std::string> Drain(TCommandLines& lines) {
  std::vector<std::string> out;
  while (auto line = lines.Next()) out.push_back(line->TooLong ? "<too long>" : line->Text);
  return out;
}

TEST(CommandLines, EverySplitOfTheInputGivesTheSameLines) {
  const std::string input = "USER host/name\r\nPASS pw\nSTAT\r\r\nLIST\r\n\r\nRETR 1\r\n";
  const std::vector<std::string> wanted = {"USER host/name", "PASS pw", "STAT\r",
                                           "LIST",           "",        "RETR 1"};
  for (std::size_t a = 0; a <= input.size(); ++a) {
    for (std::size_t b = a; b <= input.size(); ++b) {
      TCommandLines lines;
      lines.Append(input.substr(0, a));
      std::vector<std::string> got = Drain(lines);
      lines.Append(input.substr(a, b - a));
      for (auto& l : Drain(lines)) got.push_back(l);
      lines.Append(input.substr(b));
      for (auto& l : Drain(lines)) got.push_back(l);
      ASSERT_EQ(got, wanted) << "split at " << a << " and " << b;
      EXPECT_EQ(lines.HeldBytes(), 0u);
    }
  }
}

TEST(CommandLines, NothingIsHandedOutBeforeItsLineFeed) {
  TCommandLines lines;
  lines.Append("RETR 1\r");
  EXPECT_FALSE(lines.HasLine());
  EXPECT_EQ(lines.HeldBytes(), 7u);
  lines.Append("\n");
  EXPECT_EQ(Drain(lines), std::vector<std::string>{"RETR 1"});
}

TEST(CommandLines, TheLongestLineStillFitsAndOneByteMoreIsTooLong) {
  TCommandLines lines;
  const std::string longest(TCommandLines::LineLimit - 1, 'A');
  lines.Append(longest + "\r\n");
  lines.Append(std::string(TCommandLines::LineLimit, 'B') + "\n");
  lines.Append(std::string(TCommandLines::LineLimit + 1, 'C') + "\r\nNEXT\r\n");
  EXPECT_EQ(Drain(lines),
            (std::vector<std::string>{longest, std::string(1024, 'B'), "<too long>", "NEXT"}));
}

TEST(CommandLines, JunkWithoutALineEndIsReportedOnceAndSkippedUpToItsLineFeed) {
  TCommandLines lines;
  lines.Append("STAT\r\n");
  // 64 KiB in pieces of odd sizes, none with a line end.
  const std::string junk(64 * 1024, 'X');
  for (std::size_t at = 0; at < junk.size(); at += 1000) lines.Append(junk.substr(at, 1000));
  EXPECT_LE(lines.HeldBytes(), TCommandLines::LineLimit + 16);
  lines.Append("still junk\r");
  lines.Append("\nQUIT\r\n");
  EXPECT_EQ(Drain(lines), (std::vector<std::string>{"STAT", "<too long>", "QUIT"}));
}

TEST(CommandLines, ClearForgetsHalfLinesAndSkipping) {
  TCommandLines lines;
  lines.Append(std::string(2000, 'X'));
  lines.Clear();
  lines.Append("QUIT\r\n");
  EXPECT_EQ(Drain(lines), std::vector<std::string>{"QUIT"});
  lines.Append("QU");
  lines.Clear();
  lines.Append("IT\r\n");
  EXPECT_EQ(Drain(lines), std::vector<std::string>{"IT"});
}

}  // namespace
