#include "mime/header_tokens.h"

#include <gtest/gtest.h>

namespace {

using mime::THeaderTokenReader;

TEST(HeaderTokens, FieldNameEndsInItsColonOnlyWhenDirectlyFollowed) {
  std::string name;
  THeaderTokenReader a("Subject:   Hello World  ");
  a.ReadName(name);
  EXPECT_EQ(name, "subject");
  EXPECT_EQ(a.Ending(), ':');
  EXPECT_EQ(a.Rest(), "Hello World  ");  // trailing blanks kept

  THeaderTokenReader b("Subject : x");
  b.ReadName(name);
  EXPECT_EQ(b.Ending(), ' ');
  EXPECT_EQ(b.Rest(), "x");  // the colon after the blank is stepped over all the same

  THeaderTokenReader c("NoColon");
  c.ReadName(name);
  EXPECT_EQ(name, "nocolon");
  EXPECT_EQ(c.Ending(), '\0');
  EXPECT_EQ(c.Rest(), "");
}

TEST(HeaderTokens, ValueTokenDropsCommentsAndKeepsTheirDelimiters) {
  std::string v;
  THeaderTokenReader r("Text/HTML (a; b) ; charset=x");
  r.ReadValueToken(v);
  EXPECT_EQ(v, "text/html");
  // The comment's text is part of the token, lowercased, without its parentheses.
  THeaderTokenReader s("BASE64(Why Not)");
  s.ReadValueToken(v);
  EXPECT_EQ(v, "base64why not");
  THeaderTokenReader t("multipart/mixed; boundary=\"Ab C\"");
  t.ReadValueToken(v);
  EXPECT_EQ(t.Ending(), ';');
  t.ReadName(v);
  EXPECT_EQ(v, "boundary");
  EXPECT_EQ(t.Ending(), '=');
  t.ReadParamValue(v);
  EXPECT_EQ(v, "Ab C");  // quoted: case and blanks kept
}

TEST(HeaderTokens, ParamValuesQuotedUnquotedAndUnterminated) {
  std::string v;
  THeaderTokenReader r("charset=ISO-8859-1; name=\"Re port.PDF\"; x=\"open");
  r.ReadName(v);
  r.ReadParamValue(v);
  EXPECT_EQ(v, "iso-8859-1");
  EXPECT_EQ(r.Ending(), ';');
  r.ReadName(v);
  r.ReadParamValue(v);
  EXPECT_EQ(v, "Re port.PDF");
  EXPECT_EQ(r.Ending(), ';');
  r.ReadName(v);
  r.ReadParamValue(v);
  EXPECT_EQ(v, "open");
  EXPECT_EQ(r.Ending(), '\0');
}

TEST(HeaderTokens, FilenameValueTakesQuotedTextOrTheWholeRest) {
  std::string v;
  THeaderTokenReader q("\"My File.EXE\"; size=12");
  q.ReadFilenameValue(v);
  EXPECT_EQ(v, "My File.EXE");
  THeaderTokenReader u("  My File.EXE; size=12 ");
  u.ReadFilenameValue(v);
  EXPECT_EQ(v, "My File.EXE; size=12 ");
}

TEST(HeaderTokens, ZeroByteEndsTheTokens) {
  std::string v;
  THeaderTokenReader r(std::string_view("ab\0cd:x", 7));
  r.ReadName(v);
  EXPECT_EQ(v, "ab");
  EXPECT_EQ(r.Ending(), '\0');
  r.ReadName(v);  // never steps past the zero byte
  EXPECT_EQ(v, "");
}

TEST(HeaderTokens, AngleBracketsRemovedOnlyAsAPair) {
  EXPECT_EQ(mime::WithoutAngleBrackets("<a@b>"), "a@b");
  EXPECT_EQ(mime::WithoutAngleBrackets("<>"), "");
  EXPECT_EQ(mime::WithoutAngleBrackets("<a@b"), "<a@b");
  EXPECT_EQ(mime::WithoutAngleBrackets(">"), ">");
}

}  // namespace
