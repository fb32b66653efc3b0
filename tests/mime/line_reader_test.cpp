#include "mime/line_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_streams.h"

namespace {

using mime::TLineReader;

std::vector<std::string> Split(TStream& s, bool unfold, std::size_t maxLine = 1 << 20,
                               std::vector<bool>* cuts = nullptr) {
  TLineReader r(s, maxLine);
  std::vector<std::string> lines;
  std::string_view line;
  bool cut = false;
  while (r.NextLine(unfold, line, cut)) {
    lines.emplace_back(line);
    if (cuts) cuts->push_back(cut);
  }
  return lines;
}

std::vector<std::string> Split(std::string_view text, bool unfold) {
  TMemoryStream m(text);
  return Split(m, unfold);
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsAtLfAndCrLfKeepingLoneCr) {
  EXPECT_EQ(Split("a\r\nb\nc\rd\r\n\r\nlast", false), (Lines{"a", "b", "c\rd", "", "last"}));
  EXPECT_EQ(Split("", false), Lines{});
  EXPECT_EQ(Split("\n", false), Lines{""});
  EXPECT_EQ(Split("end\r", false), Lines{"end\r"});  // no LF: the CR is data
}

TEST(LineReader, UnfoldingLeavesThreeOrTwoSpaces) {
  EXPECT_EQ(Split("Subject: a\r\n b\r\nX: y\r\n", true), (Lines{"Subject: a   b", "X: y"}));
  EXPECT_EQ(Split("Subject: a\n\tb\n\tc\n", true), (Lines{"Subject: a  b  c"}));
  // An empty line is never joined with what follows it.
  EXPECT_EQ(Split("A: 1\r\n\r\n body\r\n", true), (Lines{"A: 1", "", " body"}));
  EXPECT_EQ(Split("A: 1\r\n body", false), (Lines{"A: 1", " body"}));
}

TEST(LineReader, SmallReadsGiveTheSameLines) {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "Header-" + std::to_string(i) + ": " +
            std::string(static_cast<std::size_t>(i % 97), 'v') +
            (i % 5 == 0 ? "\r\n\t folded" : "") + (i % 2 ? "\r\n" : "\n");
  TMemoryStream whole(text);
  const Lines expected = Split(whole, true);
  ASSERT_EQ(expected.size(), 300u);
  for (std::int64_t chunk : {1, 2, 3, 7, 64}) {
    mime_test::TTrickleStream trickle(text, chunk);
    EXPECT_EQ(Split(trickle, true), expected) << "chunk " << chunk;
  }
}

// Folding used to be judged by the first held byte: a line that began with a bare CR, or the
// tail of a cut line that began with the CR kept from the cut, was taken for an empty line and
// not joined with its continuation, but only when its line end arrived in a later read.
TEST(LineReader, FoldingDoesNotDependOnWhereReadsEnd) {
  const std::string bareCr = "A: 1\r\n\rB: 2\r\n name=x.exe\r\n\r\n";
  const std::string cutAtCr = std::string(28, 'h') + "\r" + std::string(27, 'i') + "\n x.exe\n\n";
  for (const std::string& text : {bareCr, cutAtCr}) {
    TMemoryStream whole(text);
    std::vector<bool> wholeCuts;
    const Lines expected = Split(whole, true, 28, &wholeCuts);
    for (std::int64_t chunk = 1; chunk <= 64; ++chunk) {
      mime_test::TTrickleStream trickle(text, chunk);
      std::vector<bool> cuts;
      EXPECT_EQ(Split(trickle, true, 28, &cuts), expected) << "chunk " << chunk;
      EXPECT_EQ(cuts, wholeCuts) << "chunk " << chunk;
    }
  }
  TMemoryStream m(bareCr);
  EXPECT_EQ(Split(m, true), (Lines{"A: 1", "\rB: 2   name=x.exe", ""}));
}

TEST(LineReader, LongLineGrowsTheBufferBy32BytesAndKeepsEveryByte) {
  const std::string longLine(5000, 'x');
  TMemoryStream m("short\r\n" + longLine + "\r\nafter\r\n");
  TLineReader r(m, 1 << 20);
  std::string_view line;
  bool cut = false;
  ASSERT_TRUE(r.NextLine(false, line, cut));
  ASSERT_TRUE(r.NextLine(false, line, cut));
  EXPECT_EQ(line, longLine);
  EXPECT_FALSE(cut);
  EXPECT_EQ((r.BufferSize() - TLineReader::kInitialBufferSize) % TLineReader::kGrowStep, 0u);
  EXPECT_GE(r.BufferSize(), longLine.size());
  ASSERT_TRUE(r.NextLine(false, line, cut));
  EXPECT_EQ(line, "after");
  EXPECT_FALSE(r.NextLine(false, line, cut));
}

TEST(LineReader, OverlongLineComesInCutPiecesAndNeverSplitsCrLf) {
  // 25 bytes, then CR LF: with a limit of 10 the pieces are 10, 10 and 5 bytes.
  TMemoryStream m(std::string(25, 'y') + "\r\nz\r\n");
  std::vector<bool> cuts;
  EXPECT_EQ(Split(m, false, 10, &cuts),
            (Lines{std::string(10, 'y'), std::string(10, 'y'), std::string(5, 'y'), "z"}));
  EXPECT_EQ(cuts, (std::vector<bool>{true, true, false, false}));

  // A line of exactly the limit, its CR LF arriving in any split, is one whole line.
  for (std::int64_t chunk = 1; chunk <= 12; ++chunk) {
    mime_test::TTrickleStream t(std::string(10, 'y') + "\r\nz\r\n", chunk);
    cuts.clear();
    EXPECT_EQ(Split(t, false, 10, &cuts), (Lines{std::string(10, 'y'), "z"})) << chunk;
    EXPECT_EQ(cuts, (std::vector<bool>{false, false})) << chunk;
  }
}

TEST(LineReader, HundredMegabyteLineNeedsBoundedMemory) {
  const std::int64_t size = 100LL << 20;
  mime_test::TGeneratedStream g("", 'q', size, "\nend");
  TLineReader r(g, 1 << 20);
  std::string_view line;
  bool cut = false;
  std::int64_t total = 0;
  std::size_t maxBuffer = 0;
  std::string last;
  while (r.NextLine(false, line, cut)) {
    total += static_cast<std::int64_t>(line.size());
    maxBuffer = std::max(maxBuffer, r.BufferSize());
    last.assign(line);
  }
  EXPECT_EQ(total, size + 3);
  EXPECT_EQ(last, "end");
  EXPECT_LE(maxBuffer, std::size_t{5} << 20);
}

}  // namespace
