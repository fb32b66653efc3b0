#include "mime/content_decoders.h"

#include <array>
#include <cstdint>

namespace mime {

namespace {

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  // Letters A-F and a-f give 10-15; anything else gives whatever its low bits make.
  return (static_cast<unsigned>(static_cast<unsigned char>(c)) & 15u) + 9u;
}

// The alphabet of base64 indexed by character code: the 64 digits, 64 for the pad "=", and
// 255 for every other character below 128. Bytes of 128 and above are treated like those other
// characters.
constexpr std::array<std::uint8_t, 256> MakeBase64Table() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = 255;
  for (int i = 0; i < 26; ++i) {
    t['A' + i] = static_cast<std::uint8_t>(i);
    t['a' + i] = static_cast<std::uint8_t>(26 + i);
  }
  for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<std::uint8_t>(52 + i);
  t['+'] = 62;
  t['/'] = 63;
  t['='] = 64;
  return t;
}

constexpr std::array<std::uint8_t, 256> kBase64 = MakeBase64Table();

unsigned B64(char c) {
  return kBase64[static_cast<unsigned char>(c)];
}

}  // namespace

std::size_t DecodeQuotedPrintableLine(std::string_view line, char* out) {
  std::size_t n = 0;
  const std::size_t len = line.size();
  std::size_t i = 0;
  while (i < len) {
    const char c = line[i];
    if (c != '=') {
      out[n++] = c;
      ++i;
      continue;
    }
    if (i + 1 == len) return n;  // soft line break: no line end
    if (i + 2 == len) {
      out[n++] = static_cast<char>(HexValue(line[i + 1]));
      break;
    }
    out[n++] = static_cast<char>((16 * HexValue(line[i + 1]) + HexValue(line[i + 2])) & 0xFF);
    i += 3;
  }
  out[n++] = '\r';
  out[n++] = '\n';
  return n;
}

std::size_t DecodeBase64Line(std::string_view line, char* out) {
  const std::size_t len = line.size();
  std::size_t i = 0;
  while (i < len && line[i] == ' ') ++i;
  std::size_t n = 0;
  while (i < len && line[i] != ' ') {
    const std::size_t left = len - i;
    if (left == 1) break;  // six bits make no byte
    const unsigned p = B64(line[i]);
    const unsigned q = B64(line[i + 1]);
    // Characters missing from a final short group count as pad characters.
    const unsigned r = left > 2 ? B64(line[i + 2]) : 64;
    const unsigned s = left > 3 ? B64(line[i + 3]) : 64;
    i += left < 4 ? left : 4;
    out[n++] = static_cast<char>((((p & 63) << 2) + ((q & 48) >> 4)) & 0xFF);
    if (r == 64) continue;
    out[n++] = static_cast<char>((((q & 15) << 4) + ((r & 60) >> 2)) & 0xFF);
    if (s == 64) continue;
    out[n++] = static_cast<char>((((r & 3) << 6) + (s & 63)) & 0xFF);
  }
  return n;
}

std::size_t DecodeUuencodeLine(std::string_view line, char* out) {
  if (line.empty()) return 0;
  const std::size_t count = UuValue(line[0]);
  auto value = [&](std::size_t k) -> unsigned { return k < line.size() ? UuValue(line[k]) : 0; };
  std::size_t n = 0;
  for (std::size_t k = 1; n < count; k += 4) {
    const unsigned p = value(k), q = value(k + 1), r = value(k + 2), s = value(k + 3);
    out[n++] = static_cast<char>(((p << 2) + (q >> 4)) & 0xFF);
    if (n < count) out[n++] = static_cast<char>(((q << 4) + (r >> 2)) & 0xFF);
    if (n < count) out[n++] = static_cast<char>(((r << 6) + s) & 0xFF);
  }
  return n;
}

}  // namespace mime
