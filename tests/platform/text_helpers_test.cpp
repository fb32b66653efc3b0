// The shared text helpers: letter case, comparison without case, trimming, line splitting.

#include <gtest/gtest.h>

#include "platform/ascii_text.h"
#include "platform/line_splitter.h"

namespace {

using Lines = std::vector<std::string>;

TEST(AsciiText, CaseTouchesOnlyAsciiLetters) {
  EXPECT_EQ(ascii::LowerCopy("AbZ@[\xC4\xE4"), "abz@[\xC4\xE4");
  EXPECT_EQ(ascii::UpperCopy("azAZ`{\xE4"), "AZAZ`{\xE4");
  EXPECT_TRUE(ascii::EqualsNoCase("Content-Type", "CONTENT-type"));
  EXPECT_FALSE(ascii::EqualsNoCase("exe", "ex"));
  EXPECT_FALSE(ascii::EqualsNoCase("\xC4", "\xE4"));
  EXPECT_TRUE(ascii::StartsWithNoCase("HKEY_LOCAL", "hkey_"));
  EXPECT_FALSE(ascii::StartsWithNoCase("HK", "hkey_"));
  EXPECT_TRUE(ascii::ContainsNoCase("a TEXT/Plain; x", "text/plain"));
  EXPECT_FALSE(ascii::ContainsNoCase("text/plai", "text/plain"));
  EXPECT_TRUE(ascii::ContainsNoCase("", ""));
}

TEST(AsciiText, TrimmingSaysWhichBytesGo) {
  EXPECT_EQ(ascii::Trim(" \t a b \t"), "a b");
  EXPECT_EQ(ascii::Trim("\r\x01 x \n"), "\r\x01 x \n");
  EXPECT_EQ(ascii::Trim("\r\x01 x \n", ascii::TTrimSet::tsSpaceAndControls), "x");
  EXPECT_EQ(ascii::TrimLeft("  x  "), "x  ");
  EXPECT_EQ(ascii::TrimRight("  x  "), "  x");
  EXPECT_EQ(ascii::Trim(" \t "), "");
}

TEST(LineSplitter, EachRuleSaysWhatEndsALine) {
  const std::string text = "a\r\nb\nc\rd\r\n\r\ne";
  EXPECT_EQ(SplitLines(text, TLineEnds::leCrLfOnly), (Lines{"a", "b\nc\rd", "", "e"}));
  EXPECT_EQ(SplitLines(text, TLineEnds::leLf), (Lines{"a", "b", "c\rd", "", "e"}));
  EXPECT_EQ(SplitLines(text, TLineEnds::leAny), (Lines{"a", "b", "c", "d", "", "e"}));
  // A CR LF counts once, and a CR before a CR LF is a line of its own under the any-end rule.
  EXPECT_EQ(SplitLines("x\r\r\n", TLineEnds::leAny), (Lines{"x", ""}));
  EXPECT_EQ(SplitLines("x\r\r\n", TLineEnds::leLf), (Lines{"x\r"}));
  for (auto ends : {TLineEnds::leCrLfOnly, TLineEnds::leLf, TLineEnds::leAny}) {
    EXPECT_TRUE(SplitLines("", ends).empty());
    EXPECT_EQ(SplitLines("\r\n", ends), Lines{""});
  }
}

TEST(LineSplitter, TellsWhetherTheLastLineWasEnded) {
  std::string_view line;
  TLineSplitter ended("a\r\nb\r\n", TLineEnds::leCrLfOnly);
  ASSERT_TRUE(ended.Next(line));
  ASSERT_TRUE(ended.Next(line));
  EXPECT_EQ(line, "b");
  EXPECT_TRUE(ended.LastEnded());
  EXPECT_FALSE(ended.Next(line));

  TLineSplitter open("a\r\nb\r", TLineEnds::leCrLfOnly);
  ASSERT_TRUE(open.Next(line));
  ASSERT_TRUE(open.Next(line));
  EXPECT_EQ(line, "b\r");
  EXPECT_FALSE(open.LastEnded());
}

}  // namespace
