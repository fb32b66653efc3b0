// Decoding of body lines by transfer encoding, and the delivery of data blocks.

#include <algorithm>
#include <memory>

#include "mime/ascii.h"
#include "mime/content_decoders.h"
#include "mime/mime_decode.h"
#include "platform/streams.h"

namespace {

constexpr char kCrLf[] = "\r\n";

}  // namespace

char* TMimeDecode::Scratch(std::size_t size) {
  if (size > scratchSize_) {
    scratchSize_ = std::max(size, scratchSize_ * 2);
    scratch_ = std::make_unique<char[]>(scratchSize_);
  }
  return scratch_.get();
}

void TMimeDecode::DecodeBodyLine(std::string_view line, const std::string& encoding, bool cut) {
  // A scan for part headers only (the proxy's) asks for no body: decoding it would be work
  // nobody sees. Boundaries and part headers are found before this point either way.
  if (!OnPartLine && OutputStream == nullptr && !OnInlineDecodeBegin && !OnInlineDecodeLine &&
      !OnInlineDecodeEnd)
    return;
  // Decoded lines go to a scratch buffer of their own: decoding in place could overwrite the
  // bytes of the next line when a bare LF leaves no room for the CR LF that is added.
  if (encoding == "base64") {
    char* out = Scratch(line.size() + 64);
    Deliver(out, mime::DecodeBase64Line(line, out));
  } else if (encoding == "quoted-printable") {
    char* out = Scratch(line.size() + 64);
    std::size_t n = mime::DecodeQuotedPrintableLine(line, out);
    // A piece of an over-long line goes on in the next piece: no line end between them.
    const bool softBreak = !line.empty() && line.back() == '=';
    if (cut && !softBreak) n -= 2;
    Deliver(out, n);
  } else if (encoding == "x-uuencode") {
    DecodeUuencodePartLine(line);
  } else {
    Deliver(line.data(), line.size());
    if (!cut) Deliver(kCrLf, 2);
  }
}

void TMimeDecode::Deliver(const char* data, std::size_t length) {
  if (length > 0 && partType_.empty() && TakeInlineBlock(data, length)) return;
  TriggerPartLine(data, static_cast<std::int32_t>(length));
  if (OutputStream != nullptr && length > 0)
    OutputStream->WriteBuffer(data, static_cast<std::int64_t>(length));
}
