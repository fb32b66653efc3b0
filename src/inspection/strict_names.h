#pragma once
// Strict attachment names: every name a mail program may show or save for any part of a mail,
// at any depth, decoded and reduced to what the reader's system makes of it, and the rename
// that rewrites every form of a blocked one.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// An attached mail nested deeper than this is not opened; the mail counts as blocked.
constexpr int kMostNestedMails = 10;

struct TStrictName {
  // The decoded name as the reader's system keeps it (see NormalizedAttachmentName).
  std::string Name;
  // Where it was found: "filename", "name", "Content-Description" or "uuencode", or
  // "nesting" for a mail nested too deep (then Name is empty).
  std::string Where;
  bool TooDeep = false;
};

// Cut at the first NUL (raw or "%00"), Unicode direction controls removed, then trailing dots,
// blanks and class identifiers (".{...}") dropped until none is left.
std::string NormalizedAttachmentName(std::string_view decoded);

// Every name of a stored mail, in the order the header fields come. Lines end at every LF, as
// the decoder ends them. An attached mail written in base64 or quoted-printable is decoded
// and examined like any other.
std::vector<TStrictName> StrictAttachmentNames(std::string_view content);

using TNameTest = std::function<bool(const std::string& name)>;

// Whether strict mode blocks the mail for one of its names.
bool StrictNameBlocked(const TStrictName& name, const TNameTest& blocked);

// Rewrites every header field and uuencode begin line that carries a name `blocked` accepts:
// all name parameters of the field (plain, quoted, RFC 2231 sections, encoded words) give way
// to one plain quoted parameter, the name in printable ASCII followed by "BLOCKED". Returns the
// number of fields and lines rewritten. An encoded attached mail that holds such a name is
// renamed inside and written back in its encoding (one rewrite). `lines` are the mail's lines
// cut at CR LF; its structure is read at every LF.
int RenameStrictNames(std::vector<std::string>& lines, const TNameTest& blocked);
