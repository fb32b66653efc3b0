// Our decoder against GMime 3 on the same in-memory corpus, in one process and one run: the
// scan the proxy makes (part headers only, nothing decoded) against GMime's parse, and the
// scan with every body decoded against GMime's parse with every part's content decoded.
// Rates are per second of processor time. GMime serves only as a yardstick here; nothing of the
// program uses it.

#include <gmime/gmime.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mail_corpus.h"
#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

constexpr std::int64_t kCorpusBytes = 100LL << 20;

// Processor time of this thread: on a machine shared with other work the wall clock would
// measure the sharing, not the parsers.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

template <typename Parse>
double MiBPerSecond(const std::vector<std::string>& pool, Parse parse) {
  std::int64_t done = 0;
  std::size_t next = 0;
  const double started = CpuSeconds();
  while (done < kCorpusBytes) {
    const std::string& mail = pool[next++ % pool.size()];
    parse(mail);
    done += static_cast<std::int64_t>(mail.size());
  }
  return static_cast<double>(done) / (1 << 20) / (CpuSeconds() - started);
}

GMimeMessage* GMimeParse(const std::string& mail) {
  GMimeStream* stream =
      g_mime_stream_mem_new_with_buffer(reinterpret_cast<const char*>(mail.data()), mail.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  return message;
}

void DecodePart(GMimeObject*, GMimeObject* part, gpointer sink) {
  if (!GMIME_IS_PART(part)) return;
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  if (content) g_mime_data_wrapper_write_to_stream(content, static_cast<GMimeStream*>(sink));
}

}  // namespace

int main() {
  g_mime_init();
  const std::vector<std::string>& pool = benchcorpus::WidePool();
  std::size_t poolBytes = 0;
  for (const auto& m : pool) poolBytes += m.size();
  std::printf("corpus: %lld MiB per run from a pool of %zu mails (%.1f MiB)\n",
              static_cast<long long>(kCorpusBytes >> 20), pool.size(),
              static_cast<double>(poolBytes) / (1 << 20));

  TMimeDecode scanner;
  std::size_t headerBytes = 0;
  scanner.OnPartHeaderLine = [&](TMimeDecode& d) { headerBytes += d.LineText().size(); };
  const double scan = MiBPerSecond(pool, [&](const std::string& mail) {
    TMemoryStream in(mail);
    scanner.DecodeFromStream(in);
  });

  TMimeDecode decoder;
  TMemoryStream output;
  std::int64_t delivered = 0;
  decoder.OnPartLine = [&](TMimeDecode&, const char*, std::int32_t n) { delivered += n; };
  decoder.OutputStream = &output;
  const double decode = MiBPerSecond(pool, [&](const std::string& mail) {
    TMemoryStream in(mail);
    output.SetSize(0);
    decoder.DecodeFromStream(in);
  });

  const double gmimeParse = MiBPerSecond(pool, [](const std::string& mail) {
    GMimeMessage* message = GMimeParse(mail);
    if (message) g_object_unref(message);
  });

  GMimeStream* sink = g_mime_stream_null_new();
  const double gmimeDecode = MiBPerSecond(pool, [&](const std::string& mail) {
    GMimeMessage* message = GMimeParse(mail);
    if (!message) return;
    g_mime_message_foreach(message, DecodePart, sink);
    g_object_unref(message);
  });
  g_object_unref(sink);

  std::printf("MiB per second of processor time:\n");
  std::printf("our scan, part headers only:     %8.1f MiB/s\n", scan);
  std::printf("GMime parse:                     %8.1f MiB/s\n", gmimeParse);
  std::printf("our scan + decode:               %8.1f MiB/s\n", decode);
  std::printf("GMime parse + decode:            %8.1f MiB/s\n", gmimeDecode);
  std::printf("ratio scan / GMime parse:                   %.2f (goal >= 1.2)\n",
              scan / gmimeParse);
  std::printf("ratio scan + decode / GMime parse + decode: %.2f (goal >= 1.5)\n",
              decode / gmimeDecode);
  std::printf("(%zu header bytes, %lld decoded bytes)\n", headerBytes,
              static_cast<long long>(delivered));
  g_mime_shutdown();
  return 0;
}
