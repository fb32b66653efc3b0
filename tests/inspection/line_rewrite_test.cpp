// The rename and notice rewrites, on a mail held as lines.

#include <gtest/gtest.h>

#include "inspection/attachment_rename.h"
#include "inspection/mail_lines.h"

namespace {

using Lines = std::vector<std::string>;

// A message header that declares the boundary `value` ahead of the given lines.
Lines Declaring(const std::string& value, const Lines& rest) {
  Lines lines = {"Content-Type: multipart/mixed; boundary=\"" + value + "\"", ""};
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

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

TEST(RenameAttachment, RewritesTheNameWhereverThePartHeaderCarriesIt) {
  // Header fields in any order and letter case, folded or not, far from the boundary line:
  // every line of the part header that carries the name is rewritten.
  Lines lines = Declaring("B", {"--B", "content-transfer-encoding: base64", "X-1: 1", "X-2: 2",
                                "X-3: 3", "X-4: 4", "CONTENT-DISPOSITION: attachment;",
                                "\tfilename=\"a.exe\"", "Content-type: application/x;",
                                " name=\"a.exe\"", "", "a.exe in the body stays", "--B--"});
  EXPECT_EQ(RenameAttachmentLines(lines, "a.exe"), 2);
  EXPECT_EQ(lines[9], "\tfilename=\"a.exeBLOCKED\"");
  EXPECT_EQ(lines[11], " name=\"a.exeBLOCKED\"");
  EXPECT_EQ(lines[13], "a.exe in the body stays");
}

TEST(RenameAttachment, LeavesBodiesUndeclaredBoundariesAndOtherNamesAlone) {
  // A line of dashes that the mail never declared as a boundary opens no part header.
  Lines undeclared = Declaring("B", {"--B", "Content-Type: text/plain", "", "----X",
                                     "Content-Type: application/x; name=\"a.exe\"", "", "--B--"});
  const Lines before = undeclared;
  EXPECT_EQ(RenameAttachmentLines(undeclared, "a.exe"), 0);
  EXPECT_EQ(undeclared, before);
  // Without a declared boundary the mail has no parts at all.
  Lines single = {"Content-Type: application/x; name=\"a.exe\"", "", "----B",
                  "Content-Type: application/x; name=\"a.exe\"", ""};
  EXPECT_EQ(RenameAttachmentLines(single, "a.exe"), 0);
  // The name is compared with its case.
  Lines otherCase = MailWithAttachment();
  EXPECT_EQ(RenameAttachmentLines(otherCase, "A.EXE"), 0);
}

TEST(RenameAttachment, AnEmptyNameIsGivenTheMarkWhereItsValueIsEmpty) {
  Lines lines =
      Declaring("B", {"--B", "Content-Disposition: attachment; FileName=\"\"", "", "x", "--B--"});
  EXPECT_EQ(RenameAttachmentLines(lines, ""), 1);
  EXPECT_EQ(lines[3], "Content-Disposition: attachment; FileName=\"BLOCKED\"");
  Lines named = MailWithAttachment();
  EXPECT_EQ(RenameAttachmentLines(named, ""), 0);
  EXPECT_EQ(named, MailWithAttachment());
}

TEST(RenameAttachment, FindsPartsBehindBoundariesOfPlainLettersAndDigits) {
  Lines lines = Declaring(
      "000000000000A1B2",
      {"--000000000000a1b2", "Content-Type: application/x; name=\"a.exe\"",
       "Content-Disposition: attachment; filename=\"a.exe\"", "", "AAAA", "--000000000000a1b2--"});
  EXPECT_EQ(RenameAttachmentLines(lines, "a.exe"), 2);
  EXPECT_EQ(lines[3], "Content-Type: application/x; name=\"a.exeBLOCKED\"");
  EXPECT_EQ(lines[4], "Content-Disposition: attachment; filename=\"a.exeBLOCKED\"");
  Lines text = Declaring("b", {"--b", "Content-Type: text/plain", "", "body", "--b--"});
  EXPECT_EQ(InsertNoticeLines(text, Lines{"N"}, Lines{"H"}), 1);
  EXPECT_EQ(text,
            Declaring("b", {"--b", "Content-Type: text/plain", "", "N", "", "body", "--b--"}));
}

TEST(RenameAttachment, NestedBoundariesAndAHeaderCutByTheEndOfTheMail) {
  Lines lines =
      Declaring("outer", {"--outer", "Content-Type: multipart/mixed; boundary=inner", "", "--inner",
                          "Content-Type: application/x; name=\"a.js\"", "", "x.js", "--inner--",
                          "--outer", "Content-Type: application/x; name=\"a.js\""});
  EXPECT_EQ(RenameAttachmentLines(lines, "a.js"), 2);
  EXPECT_EQ(lines[6], "Content-Type: application/x; name=\"a.jsBLOCKED\"");
  EXPECT_EQ(lines[8], "x.js");
  EXPECT_EQ(lines[11], "Content-Type: application/x; name=\"a.jsBLOCKED\"");
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
  Lines longHeader = Declaring("--A", {"----A", "Content-Type: text/plain", "X-1: 1", "X-2: 2",
                                       "X-3: 3", "X-4: 4", "X-5: 5", "", "body", "----A--"});
  const Lines before = longHeader;
  EXPECT_EQ(InsertNoticeLines(longHeader, Lines{"T"}, Lines{"H"}), 0);
  EXPECT_EQ(longHeader, before);

  Lines headerOfFive = Declaring("--A", {"----A", "Content-Type: text/plain", "X-1: 1", "X-2: 2",
                                         "X-3: 3", "X-4: 4", "", "body", "----A--"});
  EXPECT_EQ(InsertNoticeLines(headerOfFive, Lines{"T"}, Lines{"H"}), 1);
  EXPECT_EQ(headerOfFive[8], "");
  EXPECT_EQ(headerOfFive[9], "T");

  Lines binary = Declaring("--A", {"----A", "Content-Type: application/pdf", "", "x", "----A--"});
  EXPECT_EQ(InsertNoticeLines(binary, Lines{"T"}, Lines{"H"}), 0);
}

TEST(InsertNotice, FindsTheTypeInAnyFieldOrderAndLetterCase) {
  Lines lines = Declaring("A", {"--A", "content-transfer-encoding: 7bit", "CONTENT-TYPE: TEXT/HTML",
                                "", "<p>x</p>", "--A--"});
  EXPECT_EQ(InsertNoticeLines(lines, Lines{"T"}, Lines{"H"}), 1);
  EXPECT_EQ(lines, Declaring("A", {"--A", "content-transfer-encoding: 7bit",
                                   "CONTENT-TYPE: TEXT/HTML", "", "H", "", "<p>x</p>", "--A--"}));
}

TEST(InsertNotice, AnEmptyNoticeStillEndsTheHeaderOnce) {
  Lines lines = Declaring("--A", {"----A", "Content-Type: text/plain", "", "body", "----A--"});
  EXPECT_EQ(InsertNoticeLines(lines, Lines{}, Lines{}), 1);
  EXPECT_EQ(lines,
            Declaring("--A", {"----A", "Content-Type: text/plain", "", "", "body", "----A--"}));
}

TEST(InsertNotice, AMissingNoticeFailsOnlyWhenAPartNeedsIt) {
  Lines plainOnly = Declaring("--A", {"----A", "Content-Type: text/plain", "", "body", "----A--"});
  EXPECT_EQ(InsertNoticeLines(plainOnly, Lines{"T"}, std::nullopt), 1);
  Lines htmlToo = Declaring("--A", {"----A", "Content-Type: text/html", "", "body", "----A--"});
  EXPECT_EQ(InsertNoticeLines(htmlToo, Lines{"T"}, std::nullopt), std::nullopt);
}

}  // namespace
