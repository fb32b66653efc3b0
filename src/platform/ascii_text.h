#pragma once
// Small text helpers over single-byte text whose keywords are ASCII: letter case, comparison
// without regard to case, prefixes and trimming. Bytes of 128 and above are never letters
// here, so the results do not depend on the locale.

#include <string>
#include <string_view>

namespace ascii {

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Replaces `out` by the lowercased `text`, reusing its storage.
inline void AssignLower(std::string& out, std::string_view text) {
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = LowerAscii(text[i]);
}

inline std::string LowerCopy(std::string_view text) {
  std::string out;
  AssignLower(out, text);
  return out;
}

inline std::string UpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool ContainsNoCase(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i)
    if (StartsWithNoCase(text.substr(i), needle)) return true;
  return false;
}

// Which bytes trimming removes from both ends.
enum class TTrimSet {
  tsBlanks,            // SPACE and TAB, the blanks of a settings or header line
  tsSpaceAndControls,  // every byte up to and including SPACE (names typed by a user)
};

inline bool IsTrimmed(char c, TTrimSet set) {
  if (set == TTrimSet::tsBlanks) return c == ' ' || c == '\t';
  return static_cast<unsigned char>(c) <= ' ';
}

inline std::string_view TrimLeft(std::string_view s, TTrimSet set = TTrimSet::tsBlanks) {
  while (!s.empty() && IsTrimmed(s.front(), set)) s.remove_prefix(1);
  return s;
}

inline std::string_view TrimRight(std::string_view s, TTrimSet set = TTrimSet::tsBlanks) {
  while (!s.empty() && IsTrimmed(s.back(), set)) s.remove_suffix(1);
  return s;
}

inline std::string_view Trim(std::string_view s, TTrimSet set = TTrimSet::tsBlanks) {
  return TrimRight(TrimLeft(s, set), set);
}

}  // namespace ascii
