// The rename and notice rewrites, on a mail held as lines.

#include <gtest/gtest.h>

#include "inspection/attachment_rename.h"
#include "inspection/mail_lines.h"

namespace {

using Lines = std::vector<std::string>;

Lines MailWithAttachment() {
  return {
      "From: a@b",                                                    // 0
      "Content-Type: multipart/mixed; boundary=\"--XYZ\"",            // 1
      "",                                                             // 2
      "----XYZ",                                                      // 3
      "Content-Type: text/plain; charset=us-ascii",                   // 4
      "",                                                             // 5
      "Hello",                                                        // 6
      "----XYZ",                                                      // 7
      "Content-Type: application/octet-stream; name=\"a.exe\"",       // 8
      "Content-Transfer-Encoding: base64",                            // 9
      "Content-Disposition: attachment; filename=\"a.exe\"; size=3",  // 10
      "",                                                             // 11
      "QUJD",                                                         // 12
      "----XYZ--",                                                    // 13
  };
}

TEST(MailLines, SplitsOnlyAtCrLfAndJoinsBackByteForByte) {
  const std::string mail = "A: b\r\n\r\nline with lone \n and \r inside\r\n.\r\nlast\r\n";
  const TMailLines lines = SplitMailLines(mail);
  EXPECT_EQ(lines.Lines, (Lines{"A: b", "", "line with lone \n and \r inside", ".", "last"}));
  EXPECT_EQ(JoinMailLines(lines), mail);

  const std::string unterminated = std::string("x\r\ny\0z", 7);
  EXPECT_EQ(JoinMailLines(SplitMailLines(unterminated)), unterminated);
  EXPECT_EQ(JoinMailLines(SplitMailLines("")), "");
}

TEST(MailLines, TextFilesBreakAtAnyLineEnd) {
  EXPECT_EQ(SplitTextFileLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextFileLines("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_TRUE(SplitTextFileLines("").empty());
}

TEST(RenameAttachment, RewritesEveryLineOfTheWindowThatCarriesTheName) {
  Lines lines = MailWithAttachment();
  EXPECT_EQ(RenameAttachmentLines(lines, "a.exe"), 2);
  EXPECT_EQ(lines[8], "Content-Type: application/octet-stream; name=\"a.exeBLOCKED\"");
  // Whatever followed the name on its line is dropped.
  EXPECT_EQ(lines[10], "Content-Disposition: attachment; filename=\"a.exeBLOCKED\"");
  Lines expected = MailWithAttachment();
  expected[8] = lines[8];
  expected[10] = lines[10];
  EXPECT_EQ(lines, expected);
  // A second pass over a renamed mail changes nothing more.
  EXPECT_EQ(RenameAttachmentLines(lines, "a.exe"), 0);
}

TEST(RenameAttachment, LeavesNamesOutsideTheWindowAndOtherBoundariesAlone) {
  Lines far = {"----B",  "Content-Type: application/x",
               "X-1: 1", "X-2: 2",
               "X-3: 3", "X-4: 4",
               "X-5: 5", "Content-Disposition: attachment; filename=\"a.exe\"",
               "",       "AAAA"};
  EXPECT_EQ(RenameAttachmentLines(far, "a.exe"), 0);

  Lines noDashLine = {"B", "Content-Type: application/x; name=\"a.exe\"", "", "AAAA"};
  EXPECT_EQ(RenameAttachmentLines(noDashLine, "a.exe"), 0);
  Lines lowerCase = {"----B", "content-type: application/x; name=\"a.exe\"", "", "AAAA"};
  EXPECT_EQ(RenameAttachmentLines(lowerCase, "a.exe"), 0);
  // The name is compared with its case.
  Lines otherCase = MailWithAttachment();
  EXPECT_EQ(RenameAttachmentLines(otherCase, "A.EXE"), 0);
  Lines empty = MailWithAttachment();
  EXPECT_EQ(RenameAttachmentLines(empty, ""), 0);
  EXPECT_EQ(empty, MailWithAttachment());
}

TEST(RenameAttachment, FindsPartsBehindBoundariesOfPlainLettersAndDigits) {
  Lines lines = {"--000000000000a1b2",
                 "Content-Type: application/x; name=\"a.exe\"",
                 "Content-Disposition: attachment; filename=\"a.exe\"",
                 "",
                 "AAAA",
                 "--000000000000a1b2--"};
  EXPECT_EQ(RenameAttachmentLines(lines, "a.exe"), 2);
  EXPECT_EQ(lines[1], "Content-Type: application/x; name=\"a.exeBLOCKED\"");
  EXPECT_EQ(lines[2], "Content-Disposition: attachment; filename=\"a.exeBLOCKED\"");
  Lines text = {"--000000000000a1b2", "Content-Type: text/plain", "", "body",
                "--000000000000a1b2--"};
  EXPECT_EQ(InsertNoticeLines(text, Lines{"N"}, Lines{"H"}), 1);
  EXPECT_EQ(text, (Lines{"--000000000000a1b2", "Content-Type: text/plain", "", "N", "", "body",
                         "--000000000000a1b2--"}));
}

TEST(RenameAttachment, WindowThatReachesPastTheEndStopsAtTheLastLine) {
  Lines lines = {"----B", "Content-Type: application/x; name=\"a.js\"", "", "x.js"};
  EXPECT_EQ(RenameAttachmentLines(lines, "a.js"), 1);
  EXPECT_EQ(lines,
            (Lines{"----B", "Content-Type: application/x; name=\"a.jsBLOCKED\"", "", "x.js"}));
  Lines tooShort = {"----B", "Content-Type: application/x; name=\"a.js\"", ""};
  EXPECT_EQ(RenameAttachmentLines(tooShort, "a.js"), 0);
}

TEST(InsertNotice, OpensEachTextPartOnceWithTheMatchingNotice) {
  Lines lines = {
      "Content-Type: multipart/alternative; boundary=\"--A\"",
      "",
      "----A",
      "Content-Type: text/plain; charset=utf-8",
      "Content-Transfer-Encoding: quoted-printable",
      "",
      "plain body",
      "----A",
      "Content-Type: text/html; charset=utf-8",
      "",
      "<p>html body</p>",
      "----A",
      "Content-Type: application/octet-stream; name=\"a.exeBLOCKED\"",
      "",
      "QUJD",
      "----A--",
  };
  EXPECT_EQ(InsertNoticeLines(lines, Lines{"T1", "T2"}, Lines{"<b>H</b>"}), 2);
  EXPECT_EQ(lines, (Lines{
                       "Content-Type: multipart/alternative; boundary=\"--A\"",
                       "",
                       "----A",
                       "Content-Type: text/plain; charset=utf-8",
                       "Content-Transfer-Encoding: quoted-printable",
                       "",
                       "T1",
                       "T2",
                       "",
                       "plain body",
                       "----A",
                       "Content-Type: text/html; charset=utf-8",
                       "",
                       "<b>H</b>",
                       "",
                       "<p>html body</p>",
                       "----A",
                       "Content-Type: application/octet-stream; name=\"a.exeBLOCKED\"",
                       "",
                       "QUJD",
                       "----A--",
                   }));
}

TEST(InsertNotice, SkipsPartsWithLongHeadersAndNonTextParts) {
  Lines longHeader = {"----A",  "Content-Type: text/plain",
                      "X-1: 1", "X-2: 2",
                      "X-3: 3", "X-4: 4",
                      "X-5: 5", "",
                      "body",   "----A--"};
  const Lines before = longHeader;
  EXPECT_EQ(InsertNoticeLines(longHeader, Lines{"T"}, Lines{"H"}), 0);
  EXPECT_EQ(longHeader, before);

  Lines headerOfFive = {
      "----A",  "Content-Type: text/plain", "X-1: 1", "X-2: 2", "X-3: 3", "X-4: 4", "", "body",
      "----A--"};
  EXPECT_EQ(InsertNoticeLines(headerOfFive, Lines{"T"}, Lines{"H"}), 1);
  EXPECT_EQ(headerOfFive[6], "");
  EXPECT_EQ(headerOfFive[7], "T");

  Lines upperType = {"----A", "Content-Type: TEXT/PLAIN", "", "body", "----A--"};
  EXPECT_EQ(InsertNoticeLines(upperType, Lines{"T"}, Lines{"H"}), 0);
}

TEST(InsertNotice, AnEmptyNoticeStillEndsTheHeaderOnce) {
  Lines lines = {"----A", "Content-Type: text/plain", "", "body", "----A--"};
  EXPECT_EQ(InsertNoticeLines(lines, Lines{}, Lines{}), 1);
  EXPECT_EQ(lines, (Lines{"----A", "Content-Type: text/plain", "", "", "body", "----A--"}));
}

TEST(InsertNotice, AMissingNoticeFailsOnlyWhenAPartNeedsIt) {
  Lines plainOnly = {"----A", "Content-Type: text/plain", "", "body", "----A--"};
  EXPECT_EQ(InsertNoticeLines(plainOnly, Lines{"T"}, std::nullopt), 1);
  Lines htmlToo = {"----A", "Content-Type: text/html", "", "body", "----A--"};
  EXPECT_EQ(InsertNoticeLines(htmlToo, Lines{"T"}, std::nullopt), std::nullopt);
}

}  // namespace
