#include <gtest/gtest.h>

#include "event_recorder.h"
#include "mime/mime_decode.h"

namespace {

using mime_test::Decode;
using mime_test::Events;
using mime_test::TEventRecorder;

const char kUuBlock[] =
    "begin 644 cat.txt\r\n"
    "#0V%T\r\n"
    "`\r\n"
    "end\r\n";

std::vector<std::string> DataAndInline(const TEventRecorder& rec) {
  std::vector<std::string> out;
  for (const auto& e : rec.events)
    if (e.rfind("Line", 0) == 0 || e.rfind("Inline", 0) == 0) out.push_back(e);
  return out;
}

TEST(XUuencode, PartBodyDeliversOnlyTheEncodedBytes) {
  TMimeDecode d;
  TEventRecorder rec(d);
  TMemoryStream out;
  d.OutputStream = &out;
  Decode(d, std::string("Content-Type: multipart/mixed; boundary=u\r\n\r\n--u\r\n"
                        "Content-Type: application/octet-stream\r\n"
                        "Content-Transfer-Encoding: X-UUENCODE\r\n\r\n"
                        "#0V%T\r\n") +  // before "begin": nothing
                kUuBlock +
                "$0V%T8P``\r\n--u--\r\n");  // after "end": nothing
  EXPECT_EQ(rec.Only("Line"), (Events{"Line Cat"}));
  EXPECT_EQ(out.DataString(), "Cat");
}

TEST(XUuencode, CutHereMarkersAreNotBeginOrEnd) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Content-Transfer-Encoding: x-uuencode\r\n\r\n"
         "begin 644 a.bin\r\n"
         "BEGIN -- Cut Here -- 644 other.bin\r\n"  // a marker, not a new begin
         "end -- cut here --\r\n"                  // does not end the block
         "#0V%T\r\n"
         "END\r\n"
         "#0V%T\r\n");
  EXPECT_EQ(rec.Only("Line"), (Events{"Line Cat"}));
}

TEST(InlineUuencode, PlainBodyBlockFiresBeginLinesEnd) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, std::string("Subject: x\r\n\r\nHere it is:\r\n") + kUuBlock + "bye\r\n");
  EXPECT_EQ(DataAndInline(rec),
            (Events{"Line Here it is:", "Line \\r\\n", "InlineBegin cat.txt", "Line \\r\\n",
                    "InlineLine Cat", "Line \\r\\n", "InlineLine ", "Line \\r\\n",
                    "InlineEnd cat.txt", "Line \\r\\n", "Line bye", "Line \\r\\n"}));
}

TEST(InlineUuencode, BlockIsTakenEvenWithoutInlineHandlers) {
  TMimeDecode d;
  TEventRecorder rec(d, /*withInline=*/false);
  TMemoryStream out;
  d.OutputStream = &out;
  Decode(d, std::string("\r\n  BEGIN 666 Mixed Case.bin  \r\n#0V%T\r\nEnd\r\nafter\r\n"));
  EXPECT_EQ(out.DataString(), "\r\n\r\n\r\nafter\r\n");  // only the line ends
}

TEST(InlineUuencode, OnlyWherePartTypeIsEmpty) {
  const std::string message = std::string(
                                  "Content-Type: multipart/mixed; boundary=p\r\n\r\n"
                                  "begin 644 pre.txt\r\nend\r\n"  // preamble: detected
                                  "--p\r\n"
                                  "Content-Type: text/plain\r\n\r\n") +
                              kUuBlock +  // typed part: plain data
                              "--p\r\n"
                              "Content-Transfer-Encoding: 7bit\r\n\r\n" +
                              kUuBlock +  // no content-type: detected
                              "--p--\r\n";
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, message);
  EXPECT_EQ(rec.Only("InlineBegin"), (Events{"InlineBegin pre.txt", "InlineBegin cat.txt"}));
  EXPECT_EQ(rec.Only("InlineEnd"), (Events{"InlineEnd pre.txt", "InlineEnd cat.txt"}));
  EXPECT_EQ(rec.Only("Line begin"), (Events{"Line begin 644 cat.txt"}));
}

TEST(InlineUuencode, CutHereBeginAndOtherModesStartNoBlock) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "\r\nbegin 644 x.bin -- cut here\r\n#0V%T\r\nbegin 600 y.bin\r\n"
         "begin 644\r\nend\r\n");
  // The first two begin lines start nothing; "begin 644" without a name starts a block with
  // an empty name.
  EXPECT_EQ(rec.Only("Inline"), (Events{"InlineBegin ", "InlineEnd "}));
  EXPECT_EQ(rec.Only("Line #"), (Events{"Line #0V%T"}));
}

TEST(InlineUuencode, ResetsAtTheEndOfAHeader) {
  // A block left open in one part does not swallow the next part's data.
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Content-Type: multipart/mixed; boundary=p\r\n\r\n--p\r\n\r\n"
         "begin 644 open.bin\r\n#0V%T\r\n--p\r\n\r\nvisible\r\n--p--\r\n");
  EXPECT_EQ(rec.Only("Line v"), (Events{"Line visible"}));
}

}  // namespace
