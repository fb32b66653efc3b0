// Fuzz entry for the mail decoder: every event assigned, a small line limit so the cut paths are
// reached too.
//
// Invariants: how the message reaches the decoder does not change what it finds, so decoding
// the same bytes in small reads and in one large read gives the same events with the same
// values, part names and data; and the output stream holds exactly the data the part events
// delivered, in order.
//
// Input: the first byte picks the small read size and the line limit; the rest is the message.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
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

struct TDecodeRecord {
  std::string events;  // every event with the values it showed, in order
  std::string partData;
  std::string output;
};

void Note(std::string& to, char kind, std::string_view text) {
  to += kind;
  to += std::to_string(text.size());
  to += ':';
  to += text;
}

TDecodeRecord Decode(std::string_view message, std::size_t maxLine, std::int64_t chunk) {
  TDecodeRecord record;
  std::string& e = record.events;
  TMimeDecode d;
  d.MaxLineLength = maxLine;
  d.MaxInnerBoundaries = 16;
  d.OnHeaderBegin = [&](TMimeDecode&) { e += 'h'; };
  d.OnHeaderLine = [&](TMimeDecode& s) { Note(e, 'l', s.LineText()); };
  d.OnHeaderEnd = [&](TMimeDecode& s) {
    Note(e, 'H', s.MsgContentType());
    Note(e, 'f', s.MsgFileName());
    Note(e, 'b', s.BoundaryText());
  };
  d.OnPartHeaderBegin = [&](TMimeDecode& s) { e += 'p' + std::to_string(s.PartIndex()); };
  d.OnPartHeaderLine = [&](TMimeDecode& s) {
    Note(e, 'L', s.LineText());
    Note(e, 'n', s.PartFile());
  };
  d.OnPartHeaderEnd = [&](TMimeDecode& s) {
    Note(e, 'P', s.PartType());
    Note(e, 'N', s.PartFile());
    Note(e, 'T', s.PartTransferEncoding());
  };
  d.OnPartBegin = [&](TMimeDecode&) { e += 'B'; };
  d.OnPartLine = [&](TMimeDecode&, const char* p, std::int32_t n) {
    Note(e, 'd', std::string_view(p, static_cast<std::size_t>(n)));
    record.partData.append(p, static_cast<std::size_t>(n));
  };
  d.OnPartEnd = [&](TMimeDecode&) { e += 'E'; };
  d.OnMessageEnd = [&](TMimeDecode& s) { e += s.ClosingBoundarySeen() ? "M+" : "M-"; };
  d.OnInlineDecodeBegin = [&](TMimeDecode&, const std::string& f) { Note(e, 'i', f); };
  d.OnInlineDecodeLine = [&](TMimeDecode&, const char* p, std::int32_t n) {
    Note(e, 'u', std::string_view(p, static_cast<std::size_t>(n)));
  };
  d.OnInlineDecodeEnd = [&](TMimeDecode&, const std::string& f) { Note(e, 'I', f); };
  TMemoryStream out;
  d.OutputStream = &out;
  TChunkedStream in(message, chunk);
  d.DecodeFromStream(in);
  record.output = out.DataString();
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t knob = data[0];
  std::string_view message(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t maxLine = (knob & 0x80) ? 1 << 20 : 8 + (knob & 0x3F) * 4;

  const TDecodeRecord small = Decode(message, maxLine, 1 + (knob & 0x1F) * 7);
  FUZZ_CHECK(small.output == small.partData,
             "the output stream differs from the data the part events delivered");
  const TDecodeRecord whole = Decode(message, maxLine, 1 << 16);
  if (small.events != whole.events && std::getenv("FUZZ_VERBOSE"))
    std::fprintf(stderr, "small reads:\n%s\none read:\n%s\n", small.events.c_str(),
                 whole.events.c_str());
  FUZZ_CHECK(small.events == whole.events, "the read size changed what the decoder found");
  return 0;
}
