// Names in any charset become UTF-8 before they are judged, and a charset or byte the system
// does not know never costs the name its extension.

#include <gtest/gtest.h>

#include "inspection/charset_text.h"
#include "inspection/encoded_words.h"
#include "inspection/file_extension.h"
#include "inspection/header_params.h"
#include "inspection/strict_names.h"

namespace {

using Names = std::vector<std::string>;

Names Values(std::string_view field) {
  return DecodedParamValues(ReadHeaderParams(field), "filename");
}

TEST(CharsetNames, EncodedWordsOfManyCharsetsBecomeUtf8) {
  EXPECT_EQ(DecodeEncodedWords("=?UTF-8?B?0YHRh9GR0YIuZXhl?="),
            "\xD1\x81\xD1\x87\xD1\x91\xD1\x82.exe");
  EXPECT_EQ(DecodeEncodedWords("=?iso-8859-7?Q?=E1=F1=F7=E5=DF=EF.exe?="),
            "\xCE\xB1\xCF\x81\xCF\x87\xCE\xB5\xCE\xAF\xCE\xBF.exe");
  EXPECT_EQ(DecodeEncodedWords("=?Shift_JIS?B?kL+LgY+RLmV4ZQ==?="),
            "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8.exe");
  // UTF-16 with its byte order mark, and big-endian without one.
  EXPECT_EQ(DecodeEncodedWords("=?UTF-16?B?//5yAGUAYwBoAG4AdQBuAGcALgBlAHgAZQA=?="),
            "rechnung.exe");
  EXPECT_EQ(DecodeEncodedWords("=?utf-16be?B?AHIAZQBjAGgAbgB1AG4AZwAuAGUAeABl?="), "rechnung.exe");
  // Windows-1252 is no Latin-1: 0x80 is the euro sign.
  EXPECT_EQ(DecodeEncodedWords("=?windows-1252?Q?=80.exe?="), "\xE2\x82\xAC.exe");
  EXPECT_EQ(DecodeEncodedWords("=?utf-7?Q?a+AC4-exe?="), "a.exe");
}

TEST(CharsetNames, Rfc2231ValuesOfManyCharsetsBecomeUtf8) {
  EXPECT_EQ(Values(" attachment; filename*=koi8-r''%F3%DE%C5%D4.exe"),
            Names{"\xD0\xA1\xD1\x87\xD0\xB5\xD1\x82.exe"});
  EXPECT_EQ(Values(" attachment; filename*1=.exe; filename*0*=ISO-8859-7'el'%E1%F1"),
            Names{"\xCE\xB1\xCF\x81.exe"});
  // Sections without a charset may still be written as encoded words.
  EXPECT_EQ(Values(" attachment; filename*0=\"=?utf-8?Q?a?=\"; filename*1=\".js\""), Names{"a.js"});
}

TEST(CharsetNames, ACharacterSplitBetweenTwoWordsIsJoinedFirst) {
  // U+202E cut in two: only joined is it a direction control, and removed.
  const std::string decoded = DecodeEncodedWords("=?utf-8?Q?=E2=80?= =?UTF-8?Q?=AEgpj.exe?=");
  EXPECT_EQ(decoded, "\xE2\x80\xAEgpj.exe");
  EXPECT_EQ(NormalizedAttachmentName(decoded), "gpj.exe");
  // Words of different charsets are converted each on its own; a blank between them goes.
  EXPECT_EQ(DecodeEncodedWords("=?koi8-r?Q?=F3?= =?iso-8859-7?Q?=E1?= x"), "\xD0\xA1\xCE\xB1 x");
  EXPECT_EQ(DecodeEncodedWords("=?utf-16be?B?AGE=?=\t=?utf-16be?B?AC4AZQB4AGU=?= b"), "a.exe b");
}

TEST(CharsetNames, UnknownCharsetsAndBadBytesKeepTheBytes) {
  const TNameTest blocked = [](const std::string& n) { return IsBlockedAttachment(n, {"EXE"}); };
  for (const std::string& field :
       {std::string(" attachment; filename=\"=?x-unknown-42?Q?na=FFme.exe?=\""),
        std::string(" attachment; filename*=x-unknown-42''na%FFme.exe"),
        // Slashes are converter options, not a charset: the bytes stay.
        std::string(" attachment; filename=\"=?utf-8//IGNORE?Q?na=FFme.exe?=\"")}) {
    EXPECT_EQ(Values(field), Names{"na\xFFme.exe"}) << field;
    EXPECT_TRUE(blocked(Values(field).at(0))) << field;
  }
  // Bytes the charset rejects stay, and the conversion goes on after them.
  EXPECT_EQ(CharsetToUtf8("utf-8", "a\xFF.exe"), "a\xFF.exe");
  EXPECT_EQ(CharsetToUtf8("Shift_JIS", "\x90\xBF\xFF.exe"), "\xE8\xAB\x8B\xFF.exe");
  EXPECT_EQ(CharsetToUtf8("ascii", "\xE9.exe"), "\xE9.exe");
  // An odd byte at the end of UTF-16 is kept as it came.
  EXPECT_EQ(CharsetToUtf8("utf-16be", std::string("\0a\0.\0j\0s!", 9)), "a.js!");
  EXPECT_EQ(CharsetToUtf8("", "\xE9"), "\xE9");
}

TEST(CharsetNames, AConversionThatWouldGrowTooMuchKeepsTheBytes) {
  // TSCII maps single bytes to several characters each.
  const std::string bytes = "\x82\x87\x88.exe";
  const std::string converted = CharsetToUtf8("TSCII", bytes);
  EXPECT_LE(converted.size(), bytes.size() * kMostUtf8BytesPerByte);
  EXPECT_EQ(converted, bytes);
  EXPECT_EQ(DecodeEncodedWords("=?TSCII?Q?=82=87=88.exe?="), bytes);
}

TEST(CharsetNames, StrictModeJudgesTheConvertedName) {
  const std::string mail =
      "From: a@b\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
      "Content-Type: application/octet-stream;\r\n"
      " name=\"=?utf-16be?B?IC4AZwBwAGoALgBlAHgAZQ==?=\"\r\n\r\nQUJD\r\n--b--\r\n";
  const auto names = StrictAttachmentNames(mail);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].Name, "gpj.exe");
}

}  // namespace
