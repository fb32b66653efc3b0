// The part-header finder that strict names, the rename and the notice use must see the same
// parts with the same header fields as the MIME decoder that finds the names of the designed
// rule, on every structure a sender may write.

#include <gtest/gtest.h>

#include "inspection/encoded_mail.h"
#include "inspection/part_headers.h"
#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

using Parts = std::vector<std::vector<std::string>>;

// Unfolding writes a line end and its blank as blanks; how many does not matter here.
std::string Collapsed(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && !out.empty() && out.back() == ' ') continue;
    out += blank ? ' ' : c;
  }
  return out;
}

Parts DecoderParts(const std::string& mail) {
  Parts parts;
  TMemoryStream stream(mail);
  TMimeDecode decoder;
  decoder.OnPartHeaderBegin = [&](TMimeDecode&) { parts.emplace_back(); };
  decoder.OnPartHeaderLine = [&](TMimeDecode& d) {
    parts.back().push_back(Collapsed(d.LineText()));
  };
  decoder.DecodeFromStream(stream);
  return parts;
}

Parts FinderParts(const std::string& mail) {
  Parts parts;
  const std::vector<std::string> lines = SplitKeepingEnds(mail).Lines;
  for (const TPartHeader& part : FindPartHeaders(lines)) {
    parts.emplace_back();
    ForEachHeaderField(lines, part.First, part.End,
                       [&](std::string_view field, std::size_t, std::size_t) {
                         parts.back().push_back(Collapsed(field));
                       });
  }
  return parts;
}

std::string Crlf(std::string text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

TEST(PartStructureAgreement, FinderAndDecoderSeeTheSamePartsAndFields) {
  const std::vector<std::pair<const char*, std::string>> mails = {
      {"nested boundaries",
       "Content-Type: multipart/mixed; boundary=outer\n\n--outer\n"
       "Content-Type: multipart/alternative; boundary=inner\n\n--inner\n"
       "Content-Type: text/plain\n\nplain\n--inner\nContent-Type: text/html\n\n<p>\n"
       "--inner--\n--outer\nContent-Disposition: attachment; filename=a.exe\n\nQUJD\n"
       "--outer--\n"},
      {"boundaries in other letter case",
       "CONTENT-TYPE: Multipart/Mixed; BOUNDARY=\"AbC\"\n\n--abc\nContent-Type: x/y\n\n"
       "--ABC\nContent-Type: a/b;\n boundary=InNeR\n\n--INNER\nX-Part: inner\n\n--aBc--\n"},
      {"missing closing boundary",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\ntext\n"
       "--b\nContent-Type: application/x; name=a.exe\n\nQUJD\n"},
      {"boundary-like lines in bodies",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
       "--bb\n--b \n-- b\n--b--x\n--B-\n---b\n--b\nContent-Type: text/html\n\nend\n--b--\n"},
      {"preamble and epilogue",
       "Content-Type: multipart/mixed; boundary=b\n\npreamble\n--b--\n--c\n"
       "Content-Type: text/plain\n\n--b\nX-First: 1\n\nbody\n--b--\n"
       "epilogue\nContent-Type: text/plain\n\n--b\nX-After: epilogue\n\nmore\n"},
      {"a part without header and one with an empty header",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\n  blank first line\nX: 1\n\n"
       "--b\n\nbody\n--b\nContent-Type: text/plain\n  folded on\n\tand on\n\nx\n--b--"},
      {"a boundary given twice and on a folded line",
       "Content-Type: multipart/mixed;\n\tboundary=one;\n boundary=two\n\n--one\nX: one\n\n"
       "--two\nContent-Type: multipart/related; boundary=i1; boundary=i2\n\n--i1\nX: i1\n\n"
       "--i2\nX: i2\n\n--two--\n"},
      {"a content type without its colon at the top",
       "Content-Type multipart/mixed; boundary=b\n\n--b\nX: 1\n\n--b--\n"},
      {"a content type with blanks before its colon in a part",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type : multipart/x; "
       "boundary=c\n\n--c\nX: in c\n\n--b--\n"},
      {"an empty boundary",
       "Content-Type: multipart/mixed; boundary=\"\"\n\n--\nX: 1\n\n----\nafter\n"},
      {"a boundary declared in a text part",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; "
       "boundary=t\n\n--t\nX: t\n\n--b--\n"},
      {"a header that never ends",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nX: 1\nY: 2\n--b\nZ: 3"},
      {"a mail that ends at a boundary line", "Content-Type: multipart/mixed; boundary=b\n\n--b"},
      {"a single-part mail", "Subject: x\nContent-Type: text/plain\n\n--b\nX: 1\n\n"},
  };
  for (const auto& [what, mail] : mails) {
    EXPECT_EQ(FinderParts(Crlf(mail)), DecoderParts(Crlf(mail))) << what << " (CR LF)";
    // Lines ended by a bare LF, as a server may hand them on.
    EXPECT_EQ(FinderParts(mail), DecoderParts(mail)) << what << " (LF)";
    EXPECT_FALSE(DecoderParts(Crlf(mail)).empty() && std::string(what) != "a single-part mail" &&
                 std::string(what) != "a content type without its colon at the top" &&
                 std::string(what) != "a mail that ends at a boundary line")
        << what << " has no parts: the case tests nothing";
  }
}

}  // namespace
