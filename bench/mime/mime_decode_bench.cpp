// Decodes a generated corpus of 200 MiB of mail - plain text, multipart mail with base64
// attachments, quoted-printable HTML - message by message, as the proxy's STAT does, and
// prints the throughput and the peak memory. The corpus is a pool of distinct messages that is
// cycled, so memory holds the pool, not 200 MiB.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

constexpr std::int64_t kCorpusBytes = 200LL << 20;

std::string Base64Lines(std::mt19937& rng, std::size_t bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  const std::size_t chars = (bytes + 2) / 3 * 4;
  for (std::size_t i = 0; i < chars; ++i) {
    out += kDigits[rng() & 63];
    if (i % 76 == 75) out += "\r\n";
  }
  return out + "\r\n";
}

std::string Words(std::mt19937& rng, std::size_t lines, const char* lineEnd) {
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

std::string Header(std::mt19937& rng, const std::string& contentType) {
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

std::string PlainMessage(std::mt19937& rng) {
  return Header(rng, "text/plain; charset=iso-8859-1") + "Content-Transfer-Encoding: 8bit\r\n\r\n" +
         Words(rng, 50 + rng() % 800, "\r\n");
}

std::string HtmlMessage(std::mt19937& rng) {
  std::string body;
  for (std::size_t i = 0, n = 100 + rng() % 1500; i < n; ++i)
    body += "<p style=3D\"color:#333\">caf=E9 " + Words(rng, 1, "=\r\n") + "</p>\r\n";
  return Header(rng, "text/html; charset=\"iso-8859-1\"") +
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + body;
}

std::string AttachmentMessage(std::mt19937& rng) {
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

const std::vector<std::string>& Pool() {
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

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Decodes messages from the pool until the corpus size is reached; returns the bytes read.
std::int64_t DecodeCorpus(TMimeDecode& decoder, TMemoryStream* output) {
  std::int64_t done = 0;
  std::size_t next = 0;
  const auto& pool = Pool();
  while (done < kCorpusBytes) {
    const std::string& message = pool[next++ % pool.size()];
    TMemoryStream in(message);
    if (output) output->SetSize(0);
    decoder.DecodeFromStream(in);
    done += static_cast<std::int64_t>(message.size());
  }
  return done;
}

void Report(benchmark::State& state, std::int64_t bytes) {
  state.SetBytesProcessed(bytes);
  state.counters["MiB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / (1 << 20), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
}

void BM_PartHeaderLineOnly(benchmark::State& state) {
  Pool();
  TMimeDecode decoder;
  std::size_t names = 0;
  decoder.OnPartHeaderLine = [&](TMimeDecode& d) { names += d.LineText().size(); };
  std::int64_t bytes = 0;
  for (auto _ : state) bytes += DecodeCorpus(decoder, nullptr);
  benchmark::DoNotOptimize(names);
  Report(state, bytes);
}

void BM_PartLineAndOutputStream(benchmark::State& state) {
  Pool();
  TMimeDecode decoder;
  TMemoryStream output;
  std::int64_t delivered = 0;
  decoder.OnPartLine = [&](TMimeDecode&, const char*, std::int32_t n) { delivered += n; };
  decoder.OutputStream = &output;
  std::int64_t bytes = 0;
  for (auto _ : state) bytes += DecodeCorpus(decoder, &output);
  benchmark::DoNotOptimize(delivered);
  Report(state, bytes);
}

BENCHMARK(BM_PartHeaderLineOnly)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartLineAndOutputStream)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const long before = PeakRssKiB();
  std::size_t poolBytes = 0;
  for (const auto& m : Pool()) poolBytes += m.size();
  std::printf("corpus: %lld MiB per iteration from a pool of %zu messages (%.1f MiB)\n",
              static_cast<long long>(kCorpusBytes >> 20), Pool().size(),
              static_cast<double>(poolBytes) / (1 << 20));
  std::printf("peak RSS before decoding (pool built): %.1f MiB\n",
              static_cast<double>(PeakRssKiB()) / 1024.0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("peak RSS at start %.1f MiB, after all runs %.1f MiB\n",
              static_cast<double>(before) / 1024.0, static_cast<double>(PeakRssKiB()) / 1024.0);
  return 0;
}
