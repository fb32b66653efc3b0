#include "gui/display_text.h"

#include <gtest/gtest.h>

TEST(DisplayTextTest, Utf8WhenValidElseWindows1252) {
  // The German texts file is Windows-1252; the built-in texts are UTF-8.
  EXPECT_EQ(DisplayText("Best\xe4tigung"), QStringLiteral(u"Bestätigung"));
  EXPECT_EQ(DisplayText("Best\xc3\xa4tigung"), QStringLiteral(u"Bestätigung"));
  EXPECT_EQ(DisplayText("Anh\xe4nge \xfc"
                        "berpr\xfc"
                        "fen"),
            QStringLiteral(u"Anhänge überprüfen"));
  // The euro sign and the typographic quotes live in 0x80..0x9f.
  EXPECT_EQ(DisplayText("\x80 \x84"
                        "a\x93"),
            QStringLiteral(u"€ „a“"));
  EXPECT_EQ(DisplayText(""), QString());
  EXPECT_EQ(DisplayText(std::string("a\0b", 3)).size(), 3);
}

TEST(DisplayTextTest, MalformedUtf8IsReadAsWindows1252) {
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
  EXPECT_TRUE(IsValidUtf8("\xe2\x82\xac"));       // euro sign
  EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x93\xa7"));   // four-byte form
  EXPECT_FALSE(IsValidUtf8("\xc3"));              // cut short at the end
  EXPECT_FALSE(IsValidUtf8("\xe2\x82"));          // cut short at the end
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xe0\x80\xaf"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\x80"));              // stray continuation byte
  EXPECT_EQ(DisplayText("\xc3"), QStringLiteral(u"Ã"));
}

TEST(DisplayTextTest, Windows1252RoundTripAndRefusal) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  auto back = EncodeWindows1252(DecodeWindows1252(all));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
  EXPECT_EQ(EncodeWindows1252(QStringLiteral(u"Grüße €")), std::string("Gr\xfc\xdf"
                                                                       "e \x80"));
  // A character the code page lacks cannot be written back without loss.
  EXPECT_FALSE(EncodeWindows1252(QStringLiteral(u"Ω")).has_value());
}

TEST(DisplayTextTest, LabelsHideSingleAmpersands) {
  EXPECT_EQ(WithoutMnemonics(QStringLiteral("&Beenden")), QStringLiteral("Beenden"));
  EXPECT_EQ(WithoutMnemonics(QStringLiteral("A && B")), QStringLiteral("A & B"));
  EXPECT_EQ(WithoutMnemonics(QStringLiteral("Ende&")), QStringLiteral("Ende"));
}
