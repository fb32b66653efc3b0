#include "inspection/encoded_words.h"

#include "platform/ascii_text.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string DecodeBase64(std::string_view text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    const int v = Base64Value(c);
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xff);
    }
  }
  return out;
}

std::string DecodeQ(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// One encoded word at `at` ("=?" already seen there): its decoded bytes and its length.
bool ReadWord(std::string_view text, std::size_t at, std::string& decoded, std::size_t& length) {
  const std::size_t q1 = text.find('?', at + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?') return false;
  const std::size_t close = text.find("?=", q1 + 3);
  if (close == std::string_view::npos) return false;
  std::string_view charset = text.substr(at + 2, q1 - at - 2);
  // RFC 2231 lets a language follow the charset after a "*".
  charset = charset.substr(0, charset.find('*'));
  if (charset.empty() || charset.find_first_of(" \t\"") != std::string_view::npos) return false;
  const char encoding = ascii::UpperAscii(text[q1 + 1]);
  const std::string_view payload = text.substr(q1 + 3, close - q1 - 3);
  if (payload.find_first_of(" \t") != std::string_view::npos) return false;
  if (encoding == 'B') {
    decoded = DecodeBase64(payload);
  } else if (encoding == 'Q') {
    decoded = DecodeQ(payload);
  } else {
    return false;
  }
  if (IsLatin1Charset(charset)) decoded = Latin1ToUtf8(decoded);
  length = close + 2 - at;
  return true;
}

}  // namespace

bool IsLatin1Charset(std::string_view charset) {
  return ascii::EqualsNoCase(charset, "iso-8859-1") || ascii::EqualsNoCase(charset, "latin1") ||
         ascii::EqualsNoCase(charset, "iso-8859-15") ||
         ascii::EqualsNoCase(charset, "windows-1252") || ascii::EqualsNoCase(charset, "cp1252");
}

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

std::string DecodeEncodedWords(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  bool lastWasWord = false;
  std::size_t blanksFrom = std::string_view::npos;
  while (i < text.size()) {
    std::string decoded;
    std::size_t length = 0;
    if (text.compare(i, 2, "=?") == 0 && ReadWord(text, i, decoded, length)) {
      // Blanks between two encoded words belong to neither.
      if (lastWasWord && blanksFrom != std::string_view::npos) out.resize(blanksFrom);
      out += decoded;
      i += length;
      lastWasWord = true;
      blanksFrom = std::string_view::npos;
      continue;
    }
    const char c = text[i++];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (blanksFrom == std::string_view::npos) blanksFrom = out.size();
    } else {
      lastWasWord = false;
      blanksFrom = std::string_view::npos;
    }
    out += c;
  }
  return out;
}
