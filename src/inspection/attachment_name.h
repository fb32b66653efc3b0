#pragma once
// The attachment file name announced by one part header line of a mail.

#include <optional>
#include <string>
#include <string_view>

// `line` is one unfolded part header line without its line end. A name is found only when
// the line (compared in upper case) carries both "attachment" and "filename="; the name keeps
// its case as written. A quoted value gives exactly the text between the quotes; an unquoted
// value runs up to the first ";" or white space, so a following parameter never becomes part
// of the name (and so of its extension).
std::optional<std::string> AttachmentNameFromPartHeaderLine(std::string_view line);
