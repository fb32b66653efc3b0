#pragma once
// Byte-wise ASCII helpers for header and boundary matching. Mail text is single-byte and its
// keywords are ASCII, so bytes of 128 and above are never letters here.

#include <string_view>

#include "platform/ascii_text.h"

namespace mime {

using ascii::AssignLower;
using ascii::ContainsNoCase;
using ascii::LowerAscii;
using ascii::StartsWithNoCase;

// Uuencode wraps every "begin"/"end" line in an optional "--- cut here ---" marker; such a
// line is a decoration, not a real begin or end.
inline bool IsCutHereLine(std::string_view text) {
  return text.find("--") != std::string_view::npos && ContainsNoCase(text, "cut here");
}

}  // namespace mime
