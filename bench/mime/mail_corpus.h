#pragma once
// The generated mail corpus of the decoder benchmarks: plain text, multipart mail with base64
// attachments, quoted-printable HTML, and shapes met in real mailboxes (deep nesting, long
// folded headers, many small parts). Deterministic: the same seed gives the same mails.

#include <random>
#include <string>
#include <vector>

namespace benchcorpus {

inline std::string Base64Lines(std::mt19937& rng, std::size_t bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  const std::size_t chars = (bytes + 2) / 3 * 4;
  for (std::size_t i = 0; i < chars; ++i) {
    out += kDigits[rng() & 63];
    if (i % 76 == 75) out += "\r\n";
  }
  return out + "\r\n";
}

inline std::string Words(std::mt19937& rng, std::size_t lines, const char* lineEnd) {
  static const char* kWords[] = {"the",
                                 "mail",
                                 "guard",
                                 "checks",
                                 "every",
                                 "attachment",
                                 "before",
                                 "your",
                                 "program",
                                 "sees",
                                 "it",
                                 "Gr\xfc\xdf"
                                 "e",
                                 "caf\xe9",
                                 "report",
                                 "quarterly",
                                 "numbers"};
  std::string out;
  for (std::size_t l = 0; l < lines; ++l) {
    std::size_t width = 0;
    while (width < 60) {
      const char* w = kWords[rng() % (sizeof kWords / sizeof *kWords)];
      out += w;
      out += ' ';
      width += std::char_traits<char>::length(w) + 1;
    }
    out += lineEnd;
  }
  return out;
}

inline std::string Header(std::mt19937& rng, const std::string& contentType) {
  std::string h = "Return-Path: <sender@example.org>\r\n";
  for (int i = 0; i < 6; ++i)
    h += "Received: from relay" + std::to_string(rng() % 100) +
         ".example.net (relay.example.net [192.0.2.1])\r\n\tby mx.example.org with ESMTP id " +
         std::to_string(rng()) + ";\r\n\tTue, 8 Dec 2026 10:00:00 +0100\r\n";
  h += "From: \"Sender\" <sender@example.org>\r\nTo: user@example.org\r\n"
       "Subject: Message " +
       std::to_string(rng()) +
       "\r\nDate: Tue, 8 Dec 2026 10:00:00 +0100\r\nMIME-Version: 1.0\r\n"
       "Content-Type: " +
       contentType + "\r\n";
  return h;
}

inline std::string PlainMessage(std::mt19937& rng) {
  return Header(rng, "text/plain; charset=iso-8859-1") + "Content-Transfer-Encoding: 8bit\r\n\r\n" +
         Words(rng, 50 + rng() % 800, "\r\n");
}

inline std::string HtmlMessage(std::mt19937& rng) {
  std::string body;
  for (std::size_t i = 0, n = 100 + rng() % 1500; i < n; ++i)
    body += "<p style=3D\"color:#333\">caf=E9 " + Words(rng, 1, "=\r\n") + "</p>\r\n";
  return Header(rng, "text/html; charset=\"iso-8859-1\"") +
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + body;
}

inline std::string AttachmentMessage(std::mt19937& rng) {
  std::string m = Header(rng, "multipart/mixed;\r\n\tboundary=\"----=_Part_42\"") +
                  "\r\nThis is a multi-part message in MIME format.\r\n\r\n------=_Part_42\r\n"
                  "Content-Type: text/plain; charset=utf-8\r\n"
                  "Content-Transfer-Encoding: 7bit\r\n\r\n" +
                  Words(rng, 20, "\r\n");
  for (std::size_t a = 0, n = 1 + rng() % 3; a < n; ++a)
    m += "------=_Part_42\r\nContent-Type: application/octet-stream; name=\"file" +
         std::to_string(a) +
         ".pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment;\r\n\tfilename=\"file" +
         std::to_string(a) + ".pdf\"\r\n\r\n" + Base64Lines(rng, 20000 + rng() % 400000);
  return m + "------=_Part_42--\r\n";
}

// Mails as real mailboxes have them besides the plain shapes above.
inline std::string NestedMessage(std::mt19937& rng, int depth) {
  std::string m = Header(rng, "multipart/mixed; boundary=\"n0\"") + "\r\n";
  for (int d = 0; d < depth; ++d) {
    m += "--n" + std::to_string(d) + "\r\nContent-Type: multipart/alternative; boundary=\"n" +
         std::to_string(d + 1) + "\"\r\n\r\n";
  }
  m += "--n" + std::to_string(depth) + "\r\nContent-Type: text/plain\r\n\r\n" +
       Words(rng, 30, "\r\n");
  for (int d = depth; d >= 0; --d) m += "--n" + std::to_string(d) + "--\r\n";
  return m;
}

inline std::string LongHeaderMessage(std::mt19937& rng) {
  std::string h = Header(rng, "text/plain; charset=utf-8");
  h += "References:";
  for (int i = 0; i < 400; ++i) h += "\r\n\t<" + std::to_string(rng()) + "@lists.example.org>";
  h += "\r\nX-Long-Unfolded: " + std::string(6000, 'v') + "\r\n\r\n";
  return h + Words(rng, 40, "\r\n");
}

inline std::string ManySmallPartsMessage(std::mt19937& rng) {
  std::string m = Header(rng, "multipart/mixed; boundary=\"s\"") + "\r\n";
  for (int i = 0; i < 200; ++i) {
    m += "--s\r\nContent-Type: text/plain; name=\"n" + std::to_string(i) +
         ".txt\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" + Words(rng, 2, "\r\n");
  }
  return m + "--s--\r\n";
}

inline const std::vector<std::string>& Pool() {
  static const std::vector<std::string> pool = [] {
    std::mt19937 rng(42);
    std::vector<std::string> p;
    for (int i = 0; i < 60; ++i) {
      switch (i % 3) {
        case 0:
          p.push_back(PlainMessage(rng));
          break;
        case 1:
          p.push_back(AttachmentMessage(rng));
          break;
        default:
          p.push_back(HtmlMessage(rng));
          break;
      }
    }
    return p;
  }();
  return pool;
}

// The pool above and, for the comparison with another parser, the real-world shapes too.
inline const std::vector<std::string>& WidePool() {
  static const std::vector<std::string> pool = [] {
    std::vector<std::string> p = Pool();
    std::mt19937 rng(7);
    for (int i = 0; i < 10; ++i) {
      p.push_back(NestedMessage(rng, 8 + i));
      p.push_back(LongHeaderMessage(rng));
      p.push_back(ManySmallPartsMessage(rng));
    }
    return p;
  }();
  return pool;
}

}  // namespace benchcorpus
