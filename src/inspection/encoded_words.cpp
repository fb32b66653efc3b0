#include "inspection/encoded_words.h"

#include "inspection/charset_text.h"
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

struct TWord {
  std::string Charset;
  std::string Bytes;
  std::size_t Length = 0;
};

// One encoded word at `at` ("=?" already seen there): its charset, its bytes and its length.
bool ReadWord(std::string_view text, std::size_t at, TWord& word) {
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
    word.Bytes = DecodeBase64(payload);
  } else if (encoding == 'Q') {
    word.Bytes = DecodeQ(payload);
  } else {
    return false;
  }
  word.Charset = charset;
  word.Length = close + 2 - at;
  return true;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
  std::string out;
  // Adjacent words of one charset are joined before they are converted, as mail programs do:
  // a character may be split between two words.
  std::string pendingCharset, pendingBytes;
  auto flush = [&] {
    out += CharsetToUtf8(pendingCharset, pendingBytes);
    pendingCharset.clear();
    pendingBytes.clear();
  };
  // Blanks after an encoded word: dropped when another word follows.
  std::string blanks;
  bool lastWasWord = false;
  std::size_t i = 0;
  while (i < text.size()) {
    TWord word;
    if (text.compare(i, 2, "=?") == 0 && ReadWord(text, i, word)) {
      blanks.clear();
      if (!lastWasWord || !ascii::EqualsNoCase(word.Charset, pendingCharset)) {
        flush();
        pendingCharset = word.Charset;
      }
      pendingBytes += word.Bytes;
      i += word.Length;
      lastWasWord = true;
      continue;
    }
    const char c = text[i++];
    if (lastWasWord) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        blanks += c;
        continue;
      }
      flush();
      out += blanks;
      blanks.clear();
      lastWasWord = false;
    }
    out += c;
  }
  flush();
  out += blanks;
  return out;
}
