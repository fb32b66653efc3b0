#include "inspection/encoded_mail.h"

#include "mime/content_decoders.h"
#include "platform/ascii_text.h"

namespace {

bool IsBase64(std::string_view encoding) {
  return ascii::EqualsNoCase(ascii::Trim(encoding), "base64");
}

bool IsQuotedPrintable(std::string_view encoding) {
  return ascii::EqualsNoCase(ascii::Trim(encoding), "quoted-printable");
}

constexpr std::size_t kMostEncodedLineLength = 76;

std::vector<std::string> EncodeBase64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    unsigned v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    line += kAlphabet[(v >> 18) & 63];
    line += kAlphabet[(v >> 12) & 63];
    line += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    line += n > 2 ? kAlphabet[v & 63] : '=';
    if (line.size() >= kMostEncodedLineLength) lines.push_back(std::move(line)), line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// Every CR LF of the bytes is a hard line break; other bytes outside printable ASCII, "=" and
// blanks before a line end are escaped, and long lines get soft breaks.
std::vector<std::string> EncodeQuotedPrintable(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t crlf = bytes.find("\r\n", start);
    const std::string_view text =
        bytes.substr(start, crlf == std::string_view::npos ? std::string_view::npos : crlf - start);
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      const bool blank = c == ' ' || c == '\t';
      const bool plain = (c >= 33 && c <= 126 && c != '=') || (blank && i + 1 < text.size());
      std::string piece = plain ? std::string(1, static_cast<char>(c))
                                : std::string{'=', kHex[c >> 4], kHex[c & 15]};
      if (line.size() + piece.size() > kMostEncodedLineLength - 1) {
        lines.push_back(line + "=");
        line.clear();
      }
      line += piece;
    }
    if (crlf == std::string_view::npos) {
      // Bytes after the last line break end in a soft break, so no line end is added.
      if (!line.empty()) lines.push_back(line + "=");
      return lines;
    }
    lines.push_back(std::move(line));
    start = crlf + 2;
  }
}

}  // namespace

bool IsEncodedMailBody(std::string_view transferEncoding) {
  return IsBase64(transferEncoding) || IsQuotedPrintable(transferEncoding);
}

std::string DecodeMailBody(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                           std::string_view transferEncoding) {
  const bool base64 = IsBase64(transferEncoding);
  std::string out;
  std::string scratch;
  for (std::size_t i = from; i < to && i < lines.size(); ++i) {
    scratch.resize(lines[i].size() + 64);
    const std::size_t n = base64 ? mime::DecodeBase64Line(lines[i], scratch.data())
                                 : mime::DecodeQuotedPrintableLine(lines[i], scratch.data());
    out.append(scratch.data(), n);
  }
  return out;
}

std::vector<std::string> EncodeMailBody(std::string_view bytes, std::string_view transferEncoding) {
  return IsBase64(transferEncoding) ? EncodeBase64(bytes) : EncodeQuotedPrintable(bytes);
}

TEndedLines SplitKeepingEnds(std::string_view text) {
  TEndedLines out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      out.Lines.emplace_back(text.substr(start));
      out.Ends.emplace_back();
      break;
    }
    const std::size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
    out.Lines.emplace_back(text.substr(start, end - start));
    out.Ends.emplace_back(text.substr(end, lf + 1 - end));
    start = lf + 1;
  }
  return out;
}

std::string JoinKeepingEnds(const TEndedLines& text) {
  std::string out;
  for (std::size_t i = 0; i < text.Lines.size(); ++i) {
    out += text.Lines[i];
    if (i < text.Ends.size()) out += text.Ends[i];
  }
  return out;
}
