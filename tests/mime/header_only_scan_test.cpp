// A scan that listens to part headers only decodes no body, yet finds every boundary and part
// header the full decode finds, whatever the bodies hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

struct TScan {
  std::vector<std::string> seen;
  void Attach(TMimeDecode& d) {
    d.OnPartHeaderBegin = [this](TMimeDecode& s) {
      seen.push_back("begin " + std::to_string(s.PartIndex()));
    };
    d.OnPartHeaderLine = [this](TMimeDecode& s) {
      seen.push_back(s.LineText() + " | " + s.PartType() + " | " + s.PartFile() + " | " +
                     s.PartTransferEncoding());
    };
    d.OnPartEnd = [this](TMimeDecode&) { seen.push_back("end"); };
    d.OnMessageEnd = [this](TMimeDecode& s) {
      seen.push_back("message " + s.MsgSubject() + " " + std::to_string(s.ClosingBoundarySeen()));
    };
  }
};

std::vector<std::string> Scan(const std::string& mail, bool withBody) {
  TMimeDecode decoder;
  TScan scan;
  scan.Attach(decoder);
  TMemoryStream output;
  std::size_t delivered = 0;
  if (withBody) {
    decoder.OutputStream = &output;
    decoder.OnPartLine = [&](TMimeDecode&, const char*, std::int32_t n) { delivered += n; };
    decoder.OnInlineDecodeBegin = [&](TMimeDecode&, const std::string&) {};
  }
  TMemoryStream in(mail);
  decoder.DecodeFromStream(in);
  if (withBody) {
    EXPECT_GT(delivered, 0u);
  }
  return scan.seen;
}

TEST(HeaderOnlyScan, FindsWhatTheFullDecodeFinds) {
  const std::vector<std::string> mails = {
      // Bodies that look like boundaries or headers once decoded, and inline uuencode.
      "Subject: one\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n"
      "\r\npreamble\r\n--b\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n"
      "\r\nLS1iDQpDb250ZW50LVR5cGU6IHRleHQvaHRtbA0K\r\n--b\r\n"
      "Content-Type: text/plain\r\n\r\nbegin 644 evil.exe\r\nM86)C\r\nend\r\n--b\r\n"
      "Content-Type: multipart/alternative; boundary=\"c\"\r\n\r\n--c\r\n"
      "Content-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "=2D=2Dc=\r\n<p>x</p>\r\n--c--\r\n--b\r\n"
      "Content-Type: application/octet-stream; name=\"a.exe\"\r\n"
      "Content-Transfer-Encoding: x-uuencode\r\n\r\nbegin 644 a.exe\r\nM86)C\r\nend\r\n--b--\r\n",
      // A single part with a base64 body.
      "Subject: two\r\nContent-Type: application/pdf; name=\"r.pdf\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n",
      // No boundary ever closed, a body that ends mid-line.
      "Subject: three\r\nContent-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n"
      "Content-Type: text/plain; name=t.txt\r\n\r\nno end"};
  for (const std::string& mail : mails) {
    const std::vector<std::string> full = Scan(mail, true);
    EXPECT_EQ(Scan(mail, false), full) << mail;
    EXPECT_FALSE(full.empty());
  }
}

}  // namespace
