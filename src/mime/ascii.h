#pragma once
// Byte-wise ASCII helpers for header and boundary matching. Mail text is single-byte and its
// keywords are ASCII, so bytes of 128 and above are never letters here.

#include <string>
#include <string_view>

namespace mime {

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Replaces `out` by the lowercased `text`, reusing its storage.
inline void AssignLower(std::string& out, std::string_view text) {
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = LowerAscii(text[i]);
}

// True when `text` begins with `lowerPrefix` (given in lower case), ignoring case.
inline bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
    if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
  return true;
}

// True when `text` contains `lowerNeedle` (given in lower case), ignoring case.
inline bool ContainsNoCase(std::string_view text, std::string_view lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (text.size() < lowerNeedle.size()) return false;
  for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i)
    if (StartsWithNoCase(text.substr(i), lowerNeedle)) return true;
  return false;
}

// Uuencode wraps every "begin"/"end" line in an optional "--- cut here ---" marker; such a
// line is a decoration, not a real begin or end.
inline bool IsCutHereLine(std::string_view text) {
  return text.find("--") != std::string_view::npos && ContainsNoCase(text, "cut here");
}

}  // namespace mime
