// Uuencoded data: the x-uuencode transfer encoding and blocks embedded in plain data.

#include <algorithm>
#include <cstring>

#include "mime/ascii.h"
#include "mime/content_decoders.h"
#include "mime/mime_decode.h"

namespace {

constexpr std::size_t kMaxFileName = 255;

// The file name of a "begin <mode> <name>" line: the text after the second space. Each cut
// keeps at most 255 characters; a line without a second space names no file.
std::string_view BeginLineFileName(std::string_view text) {
  for (int cutNo = 0; cutNo < 2; ++cutNo) {
    const auto space = text.find(' ');
    if (space == std::string_view::npos) return {};
    text = text.substr(space + 1, kMaxFileName);
  }
  return text;
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

void TMimeDecode::DecodeUuencodePartLine(std::string_view line) {
  if (line.empty()) return;
  if (mime::StartsWithNoCase(line, "begin ")) {
    if (!mime::IsCutHereLine(line)) inlineFileName_.assign(BeginLineFileName(line));
    return;
  }
  if (mime::StartsWithNoCase(line, "end")) {
    if (!mime::IsCutHereLine(line)) inlineFileName_.clear();
    return;
  }
  if (inlineFileName_.empty()) return;
  char* out = Scratch(line.size() + 64);
  const std::size_t n = mime::DecodeUuencodeLine(line, out);
  if (n > 0) Deliver(out, n);
}

bool TMimeDecode::TakeInlineBlock(const char* data, std::size_t length) {
  std::string_view text(data, length);
  if (const void* zero = std::memchr(data, '\0', length))
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - data));
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;

  if (!inlineBlock_) {
    if (!mime::StartsWithNoCase(text, "begin 666") && !mime::StartsWithNoCase(text, "begin 644"))
      return false;
    if (mime::IsCutHereLine(text)) return true;
    inlineFileName_.assign(BeginLineFileName(text));
    inlineBlock_ = true;
    if (OnInlineDecodeBegin) OnInlineDecodeBegin(*this, inlineFileName_);
    return true;
  }

  if (mime::StartsWithNoCase(text, "end")) {
    if (mime::IsCutHereLine(text)) return true;
    inlineBlock_ = false;
    // The handler gets the name before it is cleared; a copy survives the handler's changes.
    const std::string fileName = inlineFileName_;
    inlineFileName_.clear();
    if (OnInlineDecodeEnd) OnInlineDecodeEnd(*this, fileName);
    return true;
  }

  if (OnInlineDecodeLine) {
    // The block may lie in the scratch buffer itself, so decode into a separate buffer.
    char decoded[64];
    std::size_t n = 0;
    if (mime::UuValue(text[0]) > 0 && text.size() > 1) n = mime::DecodeUuencodeLine(text, decoded);
    OnInlineDecodeLine(*this, decoded, static_cast<std::int32_t>(n));
  }
  return true;
}
