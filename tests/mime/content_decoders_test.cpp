#include "mime/content_decoders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using DecodeFn = std::size_t (*)(std::string_view, char*);

std::string Run(DecodeFn fn, std::string_view line) {
  std::string out(line.size() + 64, '\xAA');
  out.resize(fn(line, out.data()));
  return out;
}

std::string Qp(std::string_view l) {
  return Run(mime::DecodeQuotedPrintableLine, l);
}
std::string B64(std::string_view l) {
  return Run(mime::DecodeBase64Line, l);
}
std::string Uu(std::string_view l) {
  return Run(mime::DecodeUuencodeLine, l);
}

TEST(QuotedPrintable, EscapesSoftBreaksAndLineEnds) {
  EXPECT_EQ(Qp("plain text"), "plain text\r\n");
  EXPECT_EQ(Qp(""), "\r\n");
  EXPECT_EQ(Qp("=41=3d=3D"), "A==\r\n");
  EXPECT_EQ(Qp("joined="), "joined");  // soft break: no line end
  EXPECT_EQ(Qp("="), "");
  EXPECT_EQ(Qp("x=4"), "x\x04\r\n");  // "=" and one character before the end
  EXPECT_EQ(Qp("=C3=A9t=E9"), "\xC3\xA9t\xE9\r\n");
  // Non-hex characters are not rejected: h(c) is (c AND 15) + 9, the sum kept to 8 bits.
  EXPECT_EQ(Qp("=zz"), std::string(1, static_cast<char>((16 * 19 + 19) & 0xFF)) + "\r\n");
}

TEST(Base64, GroupsPaddingAndBlanks) {
  EXPECT_EQ(B64("QUJD"), "ABC");
  EXPECT_EQ(B64("QUI="), "AB");
  EXPECT_EQ(B64("QQ=="), "A");
  EXPECT_EQ(B64(""), "");
  EXPECT_EQ(B64("   QUJD"), "ABC");    // leading blanks skipped
  EXPECT_EQ(B64("QUJD QUJD"), "ABC");  // a group starting at a blank ends the line
  EXPECT_EQ(B64("QQ==QUJD"), "AABC");  // pad in the middle: decoding goes on
  EXPECT_EQ(B64("SGVsbG8sIHdvcmxkIQ=="), "Hello, world!");
}

TEST(Base64, InvalidAndShortInputStaysInsideTheLine) {
  // An invalid character gives the bits of "/" (63).
  EXPECT_EQ(B64("QUJ*"), B64("QUJ/"));
  EXPECT_EQ(B64("QUJ\xC3"), B64("QUJ/"));  // bytes of 128 and above too
  EXPECT_EQ(B64("=UJD"), B64("AUJD"));     // "=" first counts as 0
  // Final short groups: two characters give one byte, three give two, one gives none.
  EXPECT_EQ(B64("QUJDQQ"), "ABCA");
  EXPECT_EQ(B64("QUJDQUI"), "ABCAB");
  EXPECT_EQ(B64("QUJDQ"), "ABC");
  EXPECT_EQ(B64("Q"), "");
}

TEST(Uuencode, DecodesTheAnnouncedCount) {
  // "Cat" uuencoded: count '#' (3), then "0V%T".
  EXPECT_EQ(Uu("#0V%T"), "Cat");
  EXPECT_EQ(Uu("$0V%T8P``"), "Catc");
  EXPECT_EQ(Uu("`"), "");
  EXPECT_EQ(Uu(""), "");
  // A short line: missing characters count as 0 (stripped trailing blanks).
  EXPECT_EQ(Uu("#0V%T"), Uu("#0V%T    "));
  EXPECT_EQ(Uu("M"), std::string(45, '\0'));
  EXPECT_EQ(mime::UuValue(' '), 0u);
  EXPECT_EQ(mime::UuValue('`'), 0u);
  EXPECT_EQ(mime::UuValue('M'), 45u);
}

}  // namespace
