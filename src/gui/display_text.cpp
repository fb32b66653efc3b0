#include "gui/display_text.h"

#include <array>

namespace {

// 0x80..0x9f of Windows-1252; 0 where the code page leaves the byte undefined (those bytes
// pass through as the C1 control of the same number, as the system's conversion does).
constexpr std::array<char16_t, 32> kHighControls = {
    0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017d, 0,      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};

char16_t Windows1252Char(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9f && kHighControls[byte - 0x80] != 0) {
    return kHighControls[byte - 0x80];
  }
  return byte;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    if (b >= 0xc2 && b <= 0xdf) {
      extra = 1;
      cp = b & 0x1f;
    } else if (b >= 0xe0 && b <= 0xef) {
      extra = 2;
      cp = b & 0x0f;
    } else if (b >= 0xf0 && b <= 0xf4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;  // a continuation byte out of place, an overlong lead or beyond U+10FFFF
    }
    if (i + static_cast<size_t>(extra) >= bytes.size()) return false;  // cut short
    for (int k = 1; k <= extra; ++k) {
      auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3f);
    }
    // Overlong forms, surrogates and code points past the last plane are not UTF-8.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10ffff ||
        (cp >= 0xd800 && cp <= 0xdfff)) {
      return false;
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

QString DecodeWindows1252(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) out.append(QChar(Windows1252Char(static_cast<unsigned char>(c))));
  return out;
}

QString DisplayText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return DecodeWindows1252(bytes);
}

std::optional<std::string> EncodeWindows1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (QChar qc : text) {
    char16_t u = qc.unicode();
    if (u < 0x80 || (u >= 0xa0 && u <= 0xff)) {
      out += static_cast<char>(u);
      continue;
    }
    bool found = false;
    for (size_t k = 0; k < kHighControls.size(); ++k) {
      if (kHighControls[k] == u || (kHighControls[k] == 0 && u == 0x80 + k)) {
        out += static_cast<char>(0x80 + k);
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  return out;
}

QString WithoutMnemonics(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') {
        out.append(u'&');
        ++i;
      }
      continue;
    }
    out.append(caption[i]);
  }
  return out;
}
