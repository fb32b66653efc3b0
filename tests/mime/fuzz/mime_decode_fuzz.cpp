// Fuzz entry: decodes the input as one message with every event assigned, in small reads, with
// a small line limit so the cut paths are reached too.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

class TChunkedStream : public TMemoryStream {
 public:
  TChunkedStream(std::string_view data, std::int64_t chunk) : TMemoryStream(data), chunk_(chunk) {}
  std::int64_t Read(void* buffer, std::int64_t count) override {
    return TMemoryStream::Read(buffer, count < chunk_ ? count : chunk_);
  }

 private:
  std::int64_t chunk_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the read size and the line limit; the rest is the message.
  const std::uint8_t knob = data[0];
  std::string_view message(reinterpret_cast<const char*>(data + 1), size - 1);

  TMimeDecode d;
  d.MaxLineLength = (knob & 0x80) ? 1 << 20 : 8 + (knob & 0x3F) * 4;
  d.MaxInnerBoundaries = 16;
  std::uint64_t sink = 0;
  auto touch = [&](const char* p, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) sink += static_cast<unsigned char>(p[i]);
  };
  d.OnHeaderLine = [&](TMimeDecode& s) { sink += s.LineText().size(); };
  d.OnPartHeaderLine = [&](TMimeDecode& s) { sink += s.LineText().size() + s.PartFile().size(); };
  d.OnPartLine = [&](TMimeDecode&, const char* p, std::int32_t n) { touch(p, n); };
  d.OnInlineDecodeBegin = [&](TMimeDecode&, const std::string& f) { sink += f.size(); };
  d.OnInlineDecodeLine = [&](TMimeDecode&, const char* p, std::int32_t n) { touch(p, n); };
  d.OnInlineDecodeEnd = [&](TMimeDecode&, const std::string& f) { sink += f.size(); };
  TMemoryStream out;
  d.OutputStream = &out;
  TChunkedStream in(message, 1 + (knob & 0x1F) * 7);
  d.DecodeFromStream(in);
  return sink == 0xFFFFFFFFFFFFFFFFull ? 1 : 0;
}
