// Attached mails written in base64 or quoted-printable are examined as mails of their own, and
// a blocked name in one is rewritten inside it and the mail written back in its encoding.

#include "inspection/encoded_mail.h"

#include <gtest/gtest.h>

#include "inspection/file_extension.h"
#include "inspection/strict_names.h"
#include "platform/line_splitter.h"

namespace {

using Lines = std::vector<std::string>;

const TNameTest kBlocked = [](const std::string& n) { return IsBlockedAttachment(n, {"EXE"}); };

std::string Inner(const std::string& name, const std::string& eol = "\r\n") {
  return "Subject: inner" + eol + "Content-Type: multipart/mixed; boundary=i" + eol + eol + "--i" +
         eol + "Content-Type: application/octet-stream;" + eol + " name=\"" + name + "\"" + eol +
         eol + "QUJD" + eol + "--i--" + eol;
}

std::string Outer(const std::string& encoding, const Lines& body, const std::string& o = "o") {
  std::string mail = "From: a@b\r\nContent-Type: multipart/mixed; boundary=" + o + "\r\n\r\n--" +
                     o + "\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n--" + o +
                     "\r\nContent-Type: message/rfc822\r\nContent-Transfer-Encoding: " + encoding +
                     "\r\n\r\n";
  for (const auto& line : body) mail += line + "\r\n";
  return mail + "\r\n--" + o + "--\r\n";
}

Lines Found(const std::string& mail) {
  Lines names;
  for (const auto& n : StrictAttachmentNames(mail)) names.push_back(n.TooDeep ? "<deep>" : n.Name);
  return names;
}

std::string Joined(const Lines& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// The body lines of the attached mail, decoded again.
std::string DecodedBody(const Lines& lines, const std::string& encoding) {
  std::size_t from = 0;
  while (lines[from] != "Content-Transfer-Encoding: " + encoding) ++from;
  from += 2;
  std::size_t to = from;
  while (lines[to] != "--o--") ++to;
  while (lines[to - 1].empty()) --to;
  return DecodeMailBody(lines, from, to, encoding);
}

TEST(EncodedMail, EncodersAndDecoderAgreeOnAnyBytes) {
  std::string bytes;
  for (int i = 0; i < 700; ++i) bytes += static_cast<char>((i * 37) & 0xff);
  bytes += "a line\r\nwith blanks at its end \t\r\n=3D not an escape\r\n\r\nlast";
  for (const char* encoding : {"base64", "Quoted-Printable"}) {
    const Lines encoded = EncodeMailBody(bytes, encoding);
    for (const auto& line : encoded) EXPECT_LE(line.size(), 76u) << encoding;
    EXPECT_EQ(DecodeMailBody(encoded, 0, encoded.size(), encoding), bytes) << encoding;
  }
  for (const char* text : {"", "a\nb\r\nc", "\n\r\n", "x"}) {
    EXPECT_EQ(JoinKeepingEnds(SplitKeepingEnds(text)), text);
  }
}

TEST(EncodedMail, ANameInAnEncodedAttachedMailIsFoundAndRenamedInside) {
  for (const std::string encoding : {"base64", "quoted-printable"}) {
    for (const std::string eol : {"\r\n", "\n"}) {
      const std::string inner = Inner("=?utf-8?Q?invoice=2Eexe?=", eol);
      const std::string mail = Outer(encoding, EncodeMailBody(inner, encoding));
      EXPECT_EQ(Found(mail), Lines{"invoice.exe"}) << encoding;

      Lines lines = SplitLines(mail, TLineEnds::leCrLfOnly);
      const Lines before = lines;
      EXPECT_EQ(RenameStrictNames(lines, kBlocked), 1) << encoding;
      EXPECT_EQ(Found(Joined(lines)), Lines{"invoice.exeBLOCKED"}) << encoding;
      // Only the attached mail's body changed, and inside it only the line of the name.
      EXPECT_EQ(Lines(lines.begin(), lines.begin() + 11),
                Lines(before.begin(), before.begin() + 11));
      EXPECT_EQ(lines.back(), "--o--");
      std::string expected = inner;
      // The field that carried the name is written on one line.
      const std::string old = "octet-stream;" + eol + " name=\"=?utf-8?Q?invoice=2Eexe?=\"";
      expected.replace(expected.find(old), old.size(), "octet-stream; name=\"invoice.exeBLOCKED\"");
      if (encoding == "quoted-printable" && eol == "\n") {
        // Quoted-printable writes its line ends as CR LF, as the decoder gives them back.
        EXPECT_EQ(Found(DecodedBody(lines, encoding)), Lines{"invoice.exeBLOCKED"});
      } else {
        EXPECT_EQ(DecodedBody(lines, encoding), expected) << encoding;
      }
    }
  }
}

TEST(EncodedMail, HarmlessEncodedMailsStayByteForByte) {
  for (const std::string encoding : {"base64", "quoted-printable"}) {
    const std::string mail = Outer(encoding, EncodeMailBody(Inner("report.pdf"), encoding));
    EXPECT_EQ(Found(mail), Lines{"report.pdf"});
    Lines lines = SplitLines(mail, TLineEnds::leCrLfOnly);
    const Lines before = lines;
    EXPECT_EQ(RenameStrictNames(lines, kBlocked), 0);
    EXPECT_EQ(lines, before);
  }
  // 7bit and unknown encodings are read as they stand.
  const std::string plain = Outer("7bit", SplitLines(Inner("a.exe"), TLineEnds::leCrLfOnly));
  EXPECT_EQ(Found(plain), Lines{"a.exe"});
}

std::string Wrapped(int depth, const std::string& inner) {
  std::string mail = inner;
  for (int i = 0; i < depth; ++i) {
    // Each level has a boundary of its own: quoted-printable leaves the inner ones readable.
    const char* encoding = i % 2 ? "base64" : "quoted-printable";
    mail = Outer(encoding, EncodeMailBody(mail, encoding), "o" + std::to_string(i));
  }
  return mail;
}

TEST(EncodedMail, NestedEncodedMailsAreOpenedToTheSameDepth) {
  EXPECT_EQ(Found(Wrapped(10, Inner("deep.exe"))), Lines{"deep.exe"});
  EXPECT_EQ(Found(Wrapped(11, Inner("deep.exe"))), Lines{"<deep>"});

  Lines lines = SplitLines(Wrapped(3, Inner("deep.exe")), TLineEnds::leCrLfOnly);
  EXPECT_EQ(RenameStrictNames(lines, kBlocked), 1);
  EXPECT_EQ(Found(Joined(lines)), Lines{"deep.exeBLOCKED"});
}

}  // namespace
