// Malformed and hostile input: the decoder must finish, keep its memory bounded and lose no
// body bytes.

#include <gtest/gtest.h>

#include <random>

#include "event_recorder.h"
#include "mime/mime_decode.h"
#include "test_streams.h"

namespace {

using namespace std::string_literals;
using mime_test::Decode;
using mime_test::Events;
using mime_test::TEventRecorder;

TEST(HostileInput, HundredMegabyteBodyLineWithoutLineEnd) {
  const std::int64_t size = 100LL << 20;
  mime_test::TGeneratedStream g("Subject: big\r\n\r\n", 'z', size, "");
  TMimeDecode d;
  std::int64_t bytes = 0;
  std::int64_t largestBlock = 0;
  d.OnPartLine = [&](TMimeDecode&, const char*, std::int32_t n) {
    bytes += n;
    largestBlock = std::max<std::int64_t>(largestBlock, n);
  };
  d.DecodeFromStream(g);
  EXPECT_EQ(bytes, size + 2);  // every byte, and one line end at the very end
  EXPECT_LE(largestBlock, static_cast<std::int64_t>(d.MaxLineLength));
  EXPECT_EQ(d.MsgSubject(), "big");
}

TEST(HostileInput, OverlongLinesInEveryState) {
  TMimeDecode d;
  d.MaxLineLength = 64;
  TEventRecorder rec(d);
  TMemoryStream out;
  d.OutputStream = &out;
  const std::string longValue(300, 'v');
  const std::string longBody(200, 'b');
  Decode(d, "Subject: " + longValue + "\r\nTo: x\r\nContent-Type: text/plain\r\n\r\n" + longBody +
                "\r\nend\r\n");
  // The header is read in pieces but not ended early, and the body keeps every byte with one
  // line end per real line.
  EXPECT_EQ(d.MsgSubject(), longValue.substr(0, 64 - 9));
  EXPECT_EQ(d.MsgTo(), "x");
  EXPECT_EQ(d.MsgContentType(), "text/plain");
  EXPECT_EQ(out.DataString(), longBody + "\r\nend\r\n");

  // Quoted-printable pieces are joined without line ends between them too.
  TMemoryStream qp;
  d.OutputStream = &qp;
  Decode(d, "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + longBody + "\r\nx\r\n");
  EXPECT_EQ(qp.DataString(), longBody + "\r\nx\r\n");
}

TEST(HostileInput, CrLfSplitAtTheLineLimitDoesNotEndTheHeader) {
  TMimeDecode d;
  d.MaxLineLength = 16;
  // The CR of the first line end sits exactly at the limit in a slow stream.
  mime_test::TTrickleStream s("X-Pad: 12345678\r\nSubject: kept\r\n\r\nbody\r\n", 16);
  d.DecodeFromStream(s);
  EXPECT_EQ(d.MsgSubject(), "kept");
}

TEST(HostileInput, ZeroBytesAreDataNotLineEnds) {
  TMimeDecode d;
  TMemoryStream out;
  d.OutputStream = &out;
  const std::string body = "a\0b\r\n\0\r\n"s;
  Decode(d, "Subject: s\0t\r\nTo: \0\r\n\r\n"s + body);
  EXPECT_EQ(d.MsgSubject(), std::string("s\0t", 3));
  EXPECT_EQ(d.MsgTo(), std::string("\0", 1));
  EXPECT_EQ(out.DataString(), body);
}

TEST(HostileInput, ThousandsOfNestedBoundaries) {
  std::string message = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
  const int depth = 5000;
  for (int i = 0; i < depth; ++i) {
    message += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
               std::to_string(i + 1) + "\r\n\r\n";
  }
  message += "--b" + std::to_string(depth) + "\r\nContent-Type: text/plain\r\n\r\nleaf\r\n";
  TMimeDecode d;
  TEventRecorder rec(d);
  Decode(d, message);
  // Boundaries past the limit are no longer recognised, so the deepest ones read as data.
  EXPECT_EQ(d.PartIndex(), static_cast<std::int32_t>(d.MaxInnerBoundaries) + 1);
  EXPECT_EQ(rec.events.back(), "MessageEnd");
  EXPECT_EQ(rec.Only("Line leaf").size(), 1u);
}

TEST(HostileInput, HeaderLineListIsBounded) {
  TMimeDecode d;
  d.MaxHeaderLinesBytes = 1000;
  std::string header;
  for (int i = 0; i < 500; ++i) header += "X-Line: " + std::to_string(i) + "\r\n";
  int headerEvents = 0;
  d.OnHeaderLine = [&](TMimeDecode&) { ++headerEvents; };
  Decode(d, header + "Subject: last\r\n");
  EXPECT_EQ(headerEvents, 501);
  EXPECT_EQ(d.MsgSubject(), "last");
  std::size_t kept = 0;
  for (const auto& l : d.MsgHeaderLines()) kept += l.size();
  EXPECT_LE(kept, 1000u);
  EXPECT_GT(d.MsgHeaderLines().Count(), 50);
}

TEST(HostileInput, RandomJunkAlwaysEndsWithMessageEnd) {
  std::mt19937 rng(20261209);
  const char alphabet[] = "\r\n\t =-:;\"()<>abcBOUNDARYboundary\0\xff";
  for (int round = 0; round < 300; ++round) {
    std::string junk;
    const int len = static_cast<int>(rng() % 3000);
    // Mostly structure characters, so boundaries and headers really occur.
    if (round % 3 == 0) junk = "Content-Type: multipart/mixed; boundary=ab\r\n\r\n";
    for (int i = 0; i < len; ++i)
      junk += round % 2 ? static_cast<char>(rng() & 0xFF) : alphabet[rng() % (sizeof alphabet - 1)];
    TMimeDecode d;
    d.MaxLineLength = 1 + rng() % 200;
    TEventRecorder rec(d);
    TMemoryStream out;
    d.OutputStream = &out;
    mime_test::TTrickleStream s(junk, 1 + rng() % 50);
    d.DecodeFromStream(s);
    ASSERT_FALSE(rec.events.empty());
    EXPECT_EQ(rec.events.back(), "MessageEnd") << "round " << round;
  }
}

}  // namespace
