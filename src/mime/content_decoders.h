#pragma once
// Line decoders for part bodies. Each decodes one body line (without its line end) into `out`,
// which must have room for line.size() + 64 bytes, and returns the number of bytes written.
// None of them reads outside the line.

#include <cstddef>
#include <string_view>

namespace mime {

// Quoted-printable: "=XY" gives one byte, "=X" at the line end gives the value of X, a final
// "=" is a soft line break. CR LF is appended unless the line ended in a soft break.
std::size_t DecodeQuotedPrintableLine(std::string_view line, char* out);

// Base64: leading SPACEs are skipped, then groups of four are decoded until a group would
// start at the end of the line or at a SPACE. Characters outside the alphabet are not
// rejected: they give their masked bits. A final group of two or three characters gives one
// or two bytes; a single leftover character carries too few bits for a byte and gives none.
std::size_t DecodeBase64Line(std::string_view line, char* out);

// The value of one uuencode character: (c - 32) AND 63, so SPACE and "`" both give 0.
inline unsigned UuValue(char c) {
  return static_cast<unsigned>(static_cast<unsigned char>(c) - 32) & 63u;
}

// Decodes the groups of four after the count character until the announced count of bytes is
// produced (at most 63). Characters missing at the end of a short line count as 0, as the
// trailing blanks that mail transports strip would have. Returns the count (0 for an empty
// line).
std::size_t DecodeUuencodeLine(std::string_view line, char* out);

}  // namespace mime
