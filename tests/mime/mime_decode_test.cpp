#include "mime/mime_decode.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "event_recorder.h"

namespace {

using mime_test::Decode;
using mime_test::Events;
using mime_test::TEventRecorder;

TEST(MimeDecode, EmptyStreamEndsThePartAndTheMessageOnly) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, "");
  EXPECT_EQ(rec.events, (Events{"PartEnd", "MessageEnd"}));
}

TEST(MimeDecode, SinglePartEventSequenceAndFields) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d,
         "Return-Path: <bounce@example.org>\r\n"
         "From: \"Ann\" <ann@example.org>\r\n"
         "To: bob@example.org\r\n"
         "Subject:   =?iso-8859-1?q?Gr=FC=DFe?= \r\n"
         "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: Text/Plain; Charset=\"UTF-8\"; name=Notes.TXT\r\n"
         "Content-Disposition: inline; filename=\"Notes.TXT\"\r\n"
         "X-Unknown: kept in the list\r\n"
         "\r\n"
         "line one\r\n"
         "\r\n"
         "line three");
  EXPECT_EQ(rec.events,
            (Events{"HeaderBegin",
                    "HeaderLine Return-Path: <bounce@example.org>",
                    "HeaderLine From: \"Ann\" <ann@example.org>",
                    "HeaderLine To: bob@example.org",
                    "HeaderLine Subject:   =?iso-8859-1?q?Gr=FC=DFe?= ",
                    "HeaderLine Date: Tue, 1 Dec 2026 10:00:00 +0100",
                    "HeaderLine MIME-Version: 1.0",
                    "HeaderLine Content-Type: Text/Plain; Charset=\"UTF-8\"; name=Notes.TXT",
                    "HeaderLine Content-Disposition: inline; filename=\"Notes.TXT\"",
                    "HeaderLine X-Unknown: kept in the list",
                    "HeaderEnd",
                    "PartBegin",
                    "Line line one",
                    "Line \\r\\n",
                    "Line ",
                    "Line \\r\\n",
                    "Line line three",
                    "Line \\r\\n",
                    "PartEnd",
                    "MessageEnd"}));
  EXPECT_EQ(d.MsgReturnPath(), "bounce@example.org");
  EXPECT_EQ(d.MsgFrom(), "\"Ann\" <ann@example.org>");
  EXPECT_EQ(d.MsgTo(), "bob@example.org");
  EXPECT_EQ(d.MsgSubject(), "=?iso-8859-1?q?Gr=FC=DFe?= ");
  EXPECT_EQ(d.MsgDate(), "Tue, 1 Dec 2026 10:00:00 +0100");
  EXPECT_EQ(d.MsgMimeVersion(), "1.0");
  EXPECT_EQ(d.MsgContentType(), "text/plain");
  EXPECT_EQ(d.MsgCharset(), "UTF-8");       // quoted: case kept
  EXPECT_EQ(d.MsgTypeName(), "notes.txt");  // unquoted: lowercased
  EXPECT_EQ(d.MsgDisposition(), "inline");
  EXPECT_EQ(d.MsgFileName(), "Notes.TXT");
  EXPECT_EQ(d.MsgHeaderLines().Count(), 9);
  EXPECT_FALSE(d.Multipart());
  EXPECT_EQ(d.BoundaryText(), "");
  EXPECT_EQ(d.PartIndex(), 0);
}

TEST(MimeDecode, FieldsNeedTheColonRightAfterTheNameAndTheLastOneWins) {
  TMimeDecode d;
  Decode(d, "Subject : ignored\r\nTo: first\r\nto: second\r\nFrom:\r\nsubject:x\r\n\r\n");
  EXPECT_EQ(d.MsgSubject(), "x");
  EXPECT_EQ(d.MsgTo(), "second");
  EXPECT_EQ(d.MsgFrom(), "");
  EXPECT_EQ(d.MsgHeaderLines().Count(), 5);
}

TEST(MimeDecode, FoldedSubjectKeepsThreeOrTwoSpaces) {
  TMimeDecode d;
  Decode(d, "Subject: Hello\r\n World\r\n\r\nbody\r\n");
  EXPECT_EQ(d.MsgSubject(), "Hello   World");
  Decode(d, "Subject: Hello\n\tWorld\n\nbody\n");
  EXPECT_EQ(d.MsgSubject(), "Hello  World");
  // Body lines are never unfolded.
  TEventRecorder rec(d);
  Decode(d, "A: b\r\n\r\nx\r\n y\r\n");
  EXPECT_EQ(rec.Only("Line"), (Events{"Line x", "Line \\r\\n", "Line  y", "Line \\r\\n"}));
}

TEST(MimeDecode, SinglePartBase64DeliversOneBlockPerLine) {
  TMimeDecode d;
  TEventRecorder rec(d);
  TMemoryStream out;
  d.OutputStream = &out;
  Decode(d, "Content-Transfer-Encoding: BASE64\r\n\r\nSGVsbG8s\r\n\r\nIHdvcmxkIQ==\r\n");
  EXPECT_EQ(d.MsgTransferEncoding(), "base64");
  EXPECT_EQ(rec.Only("Line"), (Events{"Line Hello,", "Line ", "Line  world!"}));
  EXPECT_EQ(out.DataString(), "Hello, world!");
}

TEST(MimeDecode, SinglePartQuotedPrintableJoinsSoftBreaks) {
  TMimeDecode d;
  TEventRecorder rec(d);
  TMemoryStream out;
  d.OutputStream = &out;
  Decode(d,
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
         "<p>caf=E9 au lait, =\r\nsoft</p>\r\nplain\r\n");
  EXPECT_EQ(out.DataString(), "<p>caf\xE9 au lait, soft</p>\r\nplain\r\n");
  EXPECT_EQ(rec.Only("Line").size(), 3u);
}

TEST(MimeDecode, UnknownEncodingIsPassedAsText) {
  TMimeDecode d;
  TMemoryStream out;
  d.OutputStream = &out;
  Decode(d, "Content-Transfer-Encoding: 8bit\r\n\r\nR\xE4tsel\r\n");
  EXPECT_EQ(out.DataString(), "R\xE4tsel\r\n");
}

TEST(MimeDecode, HeaderThatNeverEndsStaysAHeader) {
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, "From: a\r\nno colon here\r\nTo: b");
  EXPECT_EQ(rec.events, (Events{"HeaderBegin", "HeaderLine From: a", "HeaderLine no colon here",
                                "HeaderLine To: b", "PartEnd", "MessageEnd"}));
  EXPECT_EQ(d.MsgTo(), "b");
}

TEST(MimeDecode, EachDecodeStartsCleanAndValuesStayReadableAfterwards) {
  TMimeDecode d;
  Decode(d,
         "From: a\r\nContent-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n"
         "Content-Type: text/plain; charset=latin1\r\n\r\nhi\r\n--x--\r\n");
  EXPECT_TRUE(d.Multipart());
  EXPECT_TRUE(d.ClosingBoundarySeen());
  EXPECT_EQ(d.PartIndex(), 1);
  EXPECT_EQ(d.MsgFrom(), "a");
  Decode(d, "Subject: second\r\n\r\nbody\r\n");
  EXPECT_EQ(d.MsgFrom(), "");
  EXPECT_EQ(d.MsgSubject(), "second");
  EXPECT_FALSE(d.Multipart());
  EXPECT_FALSE(d.ClosingBoundarySeen());
  EXPECT_EQ(d.PartIndex(), 0);
  EXPECT_EQ(d.BoundaryText(), "");
  EXPECT_EQ(d.PartCharsetName(), "");
  EXPECT_EQ(d.MsgHeaderLines().Count(), 1);
}

TEST(MimeDecode, ThrowingHandlerEndsTheDecodeAndTheNextOneWorks) {
  TMimeDecode d;
  d.OnHeaderLine = [](TMimeDecode& s) {
    if (s.LineText() == "Boom: now") throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(Decode(d, "From: a\r\nBoom: now\r\nTo: never\r\n\r\n"), std::runtime_error);
  EXPECT_EQ(d.MsgFrom(), "a");
  EXPECT_EQ(d.MsgTo(), "");
  d.OnHeaderLine = nullptr;
  TEventRecorder rec(d);
  Decode(d, "To: b\r\n\r\nx");
  EXPECT_EQ(d.MsgTo(), "b");
  EXPECT_EQ(rec.events.back(), "MessageEnd");
}

TEST(MimeDecode, NestedDecodeFromAHandlerIsRefused) {
  TMimeDecode d;
  bool refused = false;
  d.OnHeaderEnd = [&](TMimeDecode& s) {
    TMemoryStream inner("X: y\r\n");
    try {
      s.DecodeFromStream(inner);
    } catch (const std::logic_error&) {
      refused = true;
    }
  };
  Decode(d, "From: a\r\n\r\nbody\r\n");
  EXPECT_TRUE(refused);
  EXPECT_EQ(d.MsgFrom(), "a");
}

TEST(MimeDecode, DerivedClassTakesOverTheEventOperations) {
  struct TCounting : TMimeDecode {
    int lines = 0, bytes = 0;
    void TriggerPartLine(const char* Data, std::int32_t DataLen) override {
      ++lines;
      bytes += DataLen;
      TMimeDecode::TriggerPartLine(Data, DataLen);
    }
  } d;
  int seen = 0;
  d.OnPartLine = [&](TMimeDecode&, const char*, std::int32_t) { ++seen; };
  Decode(d, "\r\nab\r\ncd\r\n");
  EXPECT_EQ(d.lines, 4);
  EXPECT_EQ(d.bytes, 8);
  EXPECT_EQ(seen, 4);
}

TEST(MimeDecode, ReadsFromTheStreamPosition) {
  TMimeDecode d;
  TMemoryStream m("garbage\r\nSubject: here\r\n\r\n");
  m.SetPosition(9);
  d.DecodeFromStream(m);
  EXPECT_EQ(d.MsgSubject(), "here");
}

}  // namespace
