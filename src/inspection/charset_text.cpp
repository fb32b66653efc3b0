#include "inspection/charset_text.h"

#include <iconv.h>

#include <cerrno>

#include "platform/ascii_text.h"

namespace {

bool IsOneOf(std::string_view charset, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (ascii::EqualsNoCase(charset, name)) return true;
  }
  return false;
}

// A charset name as the registry of charsets spells them. Anything else (slashes, which the
// converter reads as options, blanks, control bytes) is no charset and reaches no converter.
bool PlausibleCharsetName(std::string_view charset) {
  if (charset.empty() || charset.size() > 40) return false;
  for (char c : charset) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '-' || c == '_' || c == '.' || c == ':' || c == '+';
    if (!ok) return false;
  }
  return true;
}

class TConverter {
 public:
  explicit TConverter(const std::string& charset) : handle_(iconv_open("UTF-8", charset.c_str())) {}
  ~TConverter() {
    if (Usable()) iconv_close(handle_);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  bool Usable() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all bytes; a byte the charset rejects, and an incomplete sequence at the end,
  // are copied as they are.
  std::string Convert(std::string_view bytes) {
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
      char* to = buffer;
      std::size_t toLeft = sizeof buffer;
      const std::size_t result = iconv(handle_, &in, &inLeft, &to, &toLeft);
      out.append(buffer, static_cast<std::size_t>(to - buffer));
      if (result != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (errno == EINVAL) {
        out.append(in, inLeft);
        break;
      }
      // EILSEQ (or anything else): keep the byte and go on after it from a clean state.
      out += *in++;
      --inLeft;
      iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    }
    // A stateful charset may owe a closing sequence.
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    if (iconv(handle_, nullptr, nullptr, &to, &toLeft) != static_cast<std::size_t>(-1))
      out.append(buffer, static_cast<std::size_t>(to - buffer));
    return out;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::string CharsetToUtf8(std::string_view charset, std::string_view bytes) {
  if (charset.empty() || IsOneOf(charset, {"us-ascii", "ascii", "utf-8", "utf8"}))
    return std::string(bytes);
  if (IsOneOf(charset, {"iso-8859-1", "iso_8859-1", "latin1", "l1"})) return Latin1ToUtf8(bytes);
  if (!PlausibleCharsetName(charset)) return std::string(bytes);
  TConverter converter{std::string(charset)};
  if (!converter.Usable()) return std::string(bytes);
  std::string out = converter.Convert(bytes);
  if (out.size() > bytes.size() * kMostUtf8BytesPerByte) return std::string(bytes);
  return out;
}
