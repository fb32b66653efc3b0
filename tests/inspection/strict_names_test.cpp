// Strict attachment names: the parameter and encoded-word readers, the name as the reader's
// system keeps it, and every disguise found and rewritten in a whole mail.

#include "inspection/strict_names.h"

#include <gtest/gtest.h>

#include "inspection/encoded_words.h"
#include "inspection/file_extension.h"
#include "inspection/header_params.h"
#include "platform/line_splitter.h"

namespace {

using Names = std::vector<std::string>;

Names Values(std::string_view field, std::string_view name) {
  return DecodedParamValues(ReadHeaderParams(field), name);
}

TEST(HeaderParams, ReadsNamesInAnyCaseWithCommentsBlanksAndEscapes) {
  EXPECT_EQ(Values(" attachment; FileName=\"a.exe\"", "filename"), Names{"a.exe"});
  EXPECT_EQ(Values(" attachment ; filename (c) = (c) a.exe (c) ; x=1", "filename"), Names{"a.exe"});
  EXPECT_EQ(Values(" attachment; filename=\"a\\\".e\\xe\"", "filename"), Names{"a\".exe"});
  EXPECT_EQ(Values(" attachment; filename=\"x;y.txt\"; filename=b.js", "filename"),
            (Names{"x;y.txt", "b.js"}));
  EXPECT_EQ(Values(" text/plain; (name=\"c.exe\") charset=x", "name"), Names{});
  // A comment cut off by a backslash at the end of the field ends the field, and the
  // parameter stays within it (a rename erases it by these places).
  for (const std::string field : {" a; filename=x.exe (\\", " a; filename=(\\"}) {
    const auto params = ReadHeaderParams(field);
    ASSERT_EQ(params.size(), 1u) << field;
    EXPECT_LE(params[0].End, field.size()) << field;
  }
  // A parameter without "=" and a broken section number are passed over.
  EXPECT_EQ(Values(" attachment; filename; filename*x=a.exe; name=b", "filename"), Names{});
}

TEST(HeaderParams, JoinsRfc2231SectionsInAnyOrder) {
  EXPECT_EQ(Values(" attachment; filename*=UTF-8''%E2%80%AEgpj.exe", "filename"),
            Names{"\xE2\x80\xAEgpj.exe"});
  EXPECT_EQ(Values(" attachment; filename*1*=%2Eex; filename*2=e; filename*0*=iso-8859-1'de'r%E9",
                   "filename"),
            Names{"r\xC3\xA9.exe"});
  EXPECT_EQ(
      Values(" attachment; filename*0=\"a\"; filename*0=\"b\"; filename*1=\".js\"", "filename"),
      Names{"a.js"});
}

TEST(EncodedWords, DecodesBAndQAndJoinsAdjacentWords) {
  EXPECT_EQ(DecodeEncodedWords("=?utf-8?B?aW52b2ljZS5leGU=?="), "invoice.exe");
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?Q?r=E9sum=E9_x?= =?us-ascii?q?.js?="),
            "r\xC3\xA9sum\xC3\xA9 x.js");
  EXPECT_EQ(DecodeEncodedWords("a =?utf-8*en?Q?b?= c"), "a b c");
  // Malformed words stay as written.
  EXPECT_EQ(DecodeEncodedWords("=?utf-8?X?abc?= =?utf-8?B?abc"), "=?utf-8?X?abc?= =?utf-8?B?abc");
  EXPECT_EQ(DecodeEncodedWords("=?"
                               "?="),
            "=?"
            "?=");
}

TEST(StrictNames, TheNameIsWhatTheReadersSystemKeeps) {
  EXPECT_EQ(NormalizedAttachmentName("a.exe. . "), "a.exe");
  EXPECT_EQ(NormalizedAttachmentName(std::string("a.exe\0.txt", 10)), "a.exe");
  EXPECT_EQ(NormalizedAttachmentName("a.exe%00.txt"), "a.exe");
  EXPECT_EQ(NormalizedAttachmentName("a.exe.{3050F4D8-98B5-11CF-BB82-00AA00BDCE0B}"), "a.exe");
  EXPECT_EQ(NormalizedAttachmentName("a\xE2\x80\xAEtxt.exe"), "atxt.exe");
  EXPECT_EQ(NormalizedAttachmentName("report.pdf"), "report.pdf");
}

std::string Mail(const std::string& partHeader, const std::string& body = "QUJD") {
  return "From: a@b\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/plain\r\n\r\nhello\r\n--b\r\n" +
         partHeader + "\r\n\r\n" + body + "\r\n--b--\r\n";
}

Names Found(const std::string& mail) {
  Names names;
  for (const auto& n : StrictAttachmentNames(mail)) names.push_back(n.TooDeep ? "<deep>" : n.Name);
  return names;
}

TEST(StrictNames, FindsEveryPlaceAMailProgramReads) {
  EXPECT_EQ(Found(Mail("Content-Type: application/x; NAME=a.exe")), Names{"a.exe"});
  EXPECT_EQ(Found(Mail("Content-Disposition: inline; filename=\"=?utf-8?B?YS5leGU=?=\"")),
            Names{"a.exe"});
  EXPECT_EQ(Found(Mail("Content-Type: application/x\r\nContent-Description: =?utf-8?Q?a.exe?=")),
            Names{"a.exe"});
  // A description of a text part or of a named part is no name.
  EXPECT_EQ(Found(Mail("Content-Type: text/plain\r\nContent-Description: a.exe")), Names{});
  EXPECT_EQ(Found(Mail("Content-Type: application/x; name=b.pdf\r\nContent-Description: a.exe")),
            Names{"b.pdf"});
  EXPECT_EQ(Found("Subject: x\r\n\r\nbegin 644 run.vbs\r\nM86)C\r\nend\r\n"), Names{"run.vbs"});
  EXPECT_EQ(Found("Subject: x\r\nContent-Disposition: attachment; filename=a.js\r\n\r\nx\r\n"),
            Names{"a.js"});
}

std::string Nested(int depth, const std::string& inner) {
  std::string mail = inner;
  for (int i = 0; i < depth; ++i) {
    mail = "Subject: wrap\r\nContent-Type: multipart/mixed; boundary=w" + std::to_string(i) +
           "\r\n\r\n--w" + std::to_string(i) + "\r\nContent-Type: message/rfc822\r\n\r\n" + mail +
           "--w" + std::to_string(i) + "--\r\n";
  }
  return mail;
}

TEST(StrictNames, AttachedMailsAreOpenedToTenLevelsAndDeeperOnesBlock) {
  const std::string inner = Mail("Content-Disposition: attachment; filename=deep.exe");
  EXPECT_EQ(Found(Nested(10, inner)), Names{"deep.exe"});
  EXPECT_EQ(Found(Nested(11, inner)), Names{"<deep>"});
}

TEST(StrictNames, RenameRewritesEveryFormToOnePlainName) {
  const std::string mail = Mail(
      "Content-Type: application/x;\r\n name*0*=utf-8''%E2%80%AEgpj; name*1=.exe\r\n"
      "content-disposition: attachment; filename=\"=?utf-8?B?4oCuZ3BqLmV4ZQ==?=\";\r\n"
      "\tsize=3; filename*=utf-8''%E2%80%AEgpj.exe",
      "x\r\nbegin 644 gpj.exe\r\nend");
  std::vector<std::string> lines = SplitLines(mail, TLineEnds::leCrLfOnly);
  const TNameTest blocked = [](const std::string& n) { return IsBlockedAttachment(n, {"EXE"}); };
  EXPECT_EQ(RenameStrictNames(lines, blocked), 2);
  EXPECT_EQ(lines[8], "Content-Type: application/x; name=\"gpj.exeBLOCKED\"");
  EXPECT_EQ(lines[9], "content-disposition: attachment;   size=3; filename=\"gpj.exeBLOCKED\"");
  // The uuencode line of a part that is not text is no name and stays.
  EXPECT_EQ(lines[12], "begin 644 gpj.exe");
  std::string joined;
  for (const auto& l : lines) joined += l + "\r\n";
  for (const auto& n : StrictAttachmentNames(joined)) EXPECT_FALSE(blocked(n.Name)) << n.Name;
}

TEST(StrictNames, HarmlessMailsAreLeftAlone) {
  const TNameTest blocked = [](const std::string& n) {
    return IsBlockedAttachment(n, {"EXE", "JS"});
  };
  for (const std::string& mail :
       {Mail("Content-Type: image/png; name=\"logo.exe.png\""),
        Mail("Content-Disposition: attachment; filename=\"a.pdf\"; filename=\"a.pdf\""),
        Mail("Content-Type: text/plain", "please do not open setup.exe"),
        Mail("Content-Disposition: attachment; filename=\"exe.jsx\"")}) {
    std::vector<std::string> lines = SplitLines(mail, TLineEnds::leCrLfOnly);
    const auto before = lines;
    EXPECT_EQ(RenameStrictNames(lines, blocked), 0) << mail;
    EXPECT_EQ(lines, before);
  }
}

TEST(StrictNames, LinesEndedByABareLfAreReadAsTheDecoderReadsThem) {
  // A server may hand on a mail whose lines end in LF alone: the decoder (and the designed
  // rule) reads its parts, so strict names must too, and the rename keeps every line end.
  const std::string mail =
      "From: a@b\r\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: "
      "application/x;\n\tname=\"a.exe\"\r\nX-Other: 1\n\nQUJD\n--b--\n";
  EXPECT_EQ(Found(mail), Names{"a.exe"});
  std::vector<std::string> lines = SplitLines(mail, TLineEnds::leCrLfOnly);
  const TNameTest blocked = [](const std::string& n) { return IsBlockedAttachment(n, {"EXE"}); };
  EXPECT_EQ(RenameStrictNames(lines, blocked), 1);
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) joined += (i ? "\r\n" : "") + lines[i];
  std::string expected = mail;
  expected.replace(expected.find(";\n\tname"), 15, "; name=\"a.exeBLOCKED\"");
  EXPECT_EQ(joined, expected);
}

}  // namespace
