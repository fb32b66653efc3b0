#include <gtest/gtest.h>

#include "event_recorder.h"
#include "mime/mime_decode.h"

namespace {

using mime_test::Decode;
using mime_test::Events;
using mime_test::TEventRecorder;

const char kTwoParts[] =
    "From: a@example.org\r\n"
    "Content-Type: multipart/mixed; boundary=\"XyZ\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--xyz\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "hello\r\n"
    "--XYZ\r\n"
    "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"A.bin\"\r\n"
    "\r\n"
    "QUJD\r\n"
    "--XyZ--\r\n";

TEST(Multipart, TwoPartEventSequence) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, kTwoParts);
  EXPECT_EQ(rec.events,
            (Events{"HeaderBegin",
                    "HeaderLine From: a@example.org",
                    "HeaderLine Content-Type: multipart/mixed; boundary=\"XyZ\"",
                    "HeaderEnd",
                    "PartBegin",
                    "Line preamble",
                    "PartEnd",
                    "PartHeaderBegin 1",
                    "PartHeaderLine Content-Type: text/plain",
                    "PartHeaderEnd",
                    "PartBegin",
                    "Line hello",
                    "Line \\r\\n",
                    "PartEnd",
                    "PartHeaderBegin 2",
                    "PartHeaderLine Content-Type: application/octet-stream; name=\"a.bin\"",
                    "PartHeaderLine Content-Transfer-Encoding: base64",
                    "PartHeaderLine Content-Disposition: attachment; filename=\"A.bin\"",
                    "PartHeaderEnd",
                    "PartBegin",
                    "Line ABC",
                    "PartEnd",
                    "MessageEnd"}));
  EXPECT_TRUE(d.Multipart());
  EXPECT_EQ(d.BoundaryText(), "--xyz");  // both sides lowercased
  EXPECT_TRUE(d.ClosingBoundarySeen());
  EXPECT_EQ(d.PartIndex(), 2);
  EXPECT_EQ(d.MsgContentType(), "multipart/mixed");
}

TEST(Multipart, PartValuesDuringTheirEvents) {
  TMimeDecode d;
  std::vector<std::string> seen;
  d.OnPartBegin = [&](TMimeDecode& s) {
    seen.push_back(s.PartType() + "|" + s.PartTypeName() + "|" + s.PartTransferEncoding() + "|" +
                   s.PartDispositionType() + "|" + s.PartFile());
  };
  Decode(d, kTwoParts);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"||||", "text/plain||||",
                                      "application/octet-stream|a.bin|base64|attachment|A.bin"}));
}

TEST(Multipart, EpilogueAndBoundaryLookalikes) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
         "--b--\r\n"  // a closing boundary in the preamble is data
         "--b\r\n\r\n"
         "--b \r\n"  // trailing blank: data
         "--bb\r\n"
         "--b--\r\n"
         "epilogue\r\n");
  EXPECT_EQ(rec.Only("Line"),
            (Events{"Line --b--", "Line --b ", "Line \\r\\n", "Line --bb", "Line \\r\\n"}));
  // The epilogue line opens a third part header.
  EXPECT_EQ(d.PartIndex(), 2);
  EXPECT_EQ(rec.Only("PartHeaderLine"), (Events{"PartHeaderLine epilogue"}));
  EXPECT_EQ(rec.events.back(), "MessageEnd");
  EXPECT_TRUE(d.ClosingBoundarySeen());
}

TEST(Multipart, PartHeaderFolding) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Content-Type: multipart/mixed;\r\n boundary=\"=_B\"\r\n\r\n--=_b\r\n"
         "Content-Disposition: attachment;\r\n\tfilename=\"x.exe\"\r\n\r\ndata\r\n");
  EXPECT_EQ(d.BoundaryText(), "--=_b");
  EXPECT_EQ(rec.Only("PartHeaderLine"),
            (Events{"PartHeaderLine Content-Disposition: attachment;   filename=\"x.exe\""}))
      << "CR, LF and the TAB of the fold each become a space";
}

TEST(Multipart, DispositionAndDescriptionFileNames) {
  struct Case {
    const char* header;
    const char* file;
  } cases[] = {
      {"Content-Disposition: attachment; filename=\"Setup.EXE\"; size=3", "Setup.EXE"},
      {"Content-Disposition: attachment; filename=Setup.EXE; size=3", "Setup.EXE; size=3"},
      {"Content-Disposition: attachment; size=3; filename=\"late.exe\"", ""},  // first only
      {"Content-Disposition: attachment; creation; filename=\"b.doc\"", "b.doc"},
      {"content-disposition : ATTACHMENT; FileName=\"c.pif\"", "c.pif"},
      {"Content-Description: report; filename=\"d.txt\"", "d.txt"},
      {"Content-Description: filename=e.txt", "e.txt"},
      {"Content-Description: monthly report", ""},
  };
  for (const Case& c : cases) {
    TMimeDecode d;
    std::string file = "(none)";
    d.OnPartHeaderEnd = [&](TMimeDecode& s) { file = s.PartFile(); };
    Decode(d, std::string("Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n") + c.header +
                  "\r\n\r\nx\r\n--q--\r\n");
    EXPECT_EQ(file, c.file) << c.header;
  }
  // A description never replaces a name the disposition already gave.
  TMimeDecode d;
  Decode(d,
         "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n"
         "Content-Disposition: attachment; filename=\"first.exe\"\r\n"
         "Content-Description: filename=\"second.exe\"\r\n\r\n");
  EXPECT_EQ(d.PartFile(), "first.exe");
}

TEST(Multipart, ContentIdCharsetAndClearingBetweenParts) {
  TMimeDecode d;
  std::vector<std::string> seen;
  d.OnPartHeaderEnd = [&](TMimeDecode& s) {
    seen.push_back(s.PartId() + "|" + s.PartCharsetName() + "|" + s.PartType());
  };
  Decode(d,
         "Content-Type: multipart/related; boundary=r\r\n\r\n--r\r\n"
         "Content-Type: text/html; charset=UTF-8\r\nContent-ID: <img1@x>\r\n\r\n<p>\r\n--r\r\n"
         "Content-Transfer-Encoding: 7bit\r\n\r\nnext\r\n");
  // The second part has no charset of its own and must not report the first one's.
  EXPECT_EQ(seen, (std::vector<std::string>{"img1@x|utf-8|text/html", "||"}));
}

TEST(Multipart, NestedMultipartsAreFlattened) {
  const std::string head =
      "Content-Type: multipart/mixed; boundary=outer\r\n\r\n"
      "--outer\r\n"
      "Content-Type: multipart/alternative; boundary=\"Inner\"\r\n\r\n"
      "--inner\r\n"
      "Content-Type: text/plain\r\n\r\nplain\r\n"
      "--INNER\r\n"
      "Content-Type: text/html\r\n\r\n<b>html</b>\r\n"
      "--inner--\r\n";
  const std::string tail =
      "--outer\r\nContent-Type: image/png; name=a.png\r\n\r\nPNG\r\n--outer--\r\n";
  TMimeDecode d;
  TEventRecorder rec(d);
  // The blank line after the inner closing boundary makes an empty part of its own.
  Decode(d, head + "\r\n" + tail);
  EXPECT_EQ(rec.Only("PartHeaderBegin"),
            (Events{"PartHeaderBegin 1", "PartHeaderBegin 2", "PartHeaderBegin 3",
                    "PartHeaderBegin 4", "PartHeaderBegin 5"}));
  EXPECT_EQ(rec.Only("Line"), (Events{"Line plain", "Line \\r\\n", "Line <b>html</b>",
                                      "Line \\r\\n", "Line PNG", "Line \\r\\n"}));
  EXPECT_EQ(d.PartIndex(), 5);
  EXPECT_TRUE(d.ClosingBoundarySeen());

  // Without it, the outer boundary line is read as the first header line of the next part,
  // whose fields are still recognised.
  TEventRecorder rec2(d);
  Decode(d, head + tail);
  EXPECT_EQ(d.PartIndex(), 4);
  const Events headerLines = rec2.Only("PartHeaderLine");
  ASSERT_EQ(headerLines.size(), 5u);
  EXPECT_EQ(headerLines[3], "PartHeaderLine --outer");
  EXPECT_EQ(headerLines[4], "PartHeaderLine Content-Type: image/png; name=a.png");
}

TEST(Multipart, PartWithoutHeaderStartsWithItsBody) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Content-Type: multipart/mixed; boundary=z\r\n\r\n--z\r\n\r\nno header\r\n"
         "--z\r\n\tindented body\r\nmore\r\n--z--\r\n");
  EXPECT_EQ(rec.events, (Events{"HeaderBegin",
                                "HeaderLine Content-Type: multipart/mixed; boundary=z",
                                "HeaderEnd",
                                "PartBegin",
                                "PartEnd",
                                "PartHeaderBegin 1",
                                "PartHeaderEnd",
                                "PartBegin",
                                "Line no header",
                                "Line \\r\\n",
                                "PartEnd",
                                "PartHeaderBegin 2",
                                "PartHeaderEnd",
                                "PartBegin",
                                "Line \tindented body",
                                "Line \\r\\n",
                                "Line more",
                                "Line \\r\\n",
                                "PartEnd",
                                "MessageEnd"}));
}

TEST(Multipart, MessageEndingInsideAPart) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, "Content-Type: multipart/mixed; boundary=z\r\n\r\n--z\r\nX: 1\r\n\r\nbody");
  EXPECT_EQ(rec.Only("Part").back(), "PartEnd");
  EXPECT_EQ(rec.events.back(), "MessageEnd");
  EXPECT_FALSE(d.ClosingBoundarySeen());
  // Never reaching a boundary, a multipart message only sees its preamble begin.
  TEventRecorder rec2(d);
  Decode(d, "Content-Type: multipart/mixed; boundary=z\r\n\r\njust text\r\n");
  EXPECT_EQ(rec2.Only("Part"), (Events{"PartBegin"}));
  EXPECT_EQ(rec2.events.back(), "MessageEnd");
}

}  // namespace
