#pragma once
// An attached mail whose body is written in base64 or quoted-printable: decoded the way the
// MIME decoder decodes a part body, so it can be examined as a mail of its own, and written
// back in the same encoding when a name in it had to be rewritten.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Whether a Content-Transfer-Encoding value is one that hides the attached mail's text.
bool IsEncodedMailBody(std::string_view transferEncoding);

// The bytes of body lines [from, to), decoded line by line as the decoder does.
std::string DecodeMailBody(const std::vector<std::string>& lines, std::size_t from, std::size_t to,
                           std::string_view transferEncoding);

// The bytes written in the encoding as body lines (76 characters at most).
std::vector<std::string> EncodeMailBody(std::string_view bytes, std::string_view transferEncoding);

// A text split at LF (a CR before it belongs to the line end), each line end kept so the
// text can be joined back byte for byte.
struct TEndedLines {
  std::vector<std::string> Lines;
  std::vector<std::string> Ends;
};
TEndedLines SplitKeepingEnds(std::string_view text);
std::string JoinKeepingEnds(const TEndedLines& text);
