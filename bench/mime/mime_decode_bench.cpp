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

#include "mail_corpus.h"
#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

using benchcorpus::Pool;

constexpr std::int64_t kCorpusBytes = 200LL << 20;

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
