#pragma once
// RFC 2047 encoded words ("=?charset?B?...?=" and "=?charset?Q?...?="), as mail programs
// decode them in header values and, against the letter of the RFC, inside quoted parameter
// values. Kept small and free of other state so it can be fed hostile input on its own.

#include <string>
#include <string_view>

// The text with every well-formed encoded word decoded to UTF-8 (see CharsetToUtf8); blanks
// between two adjacent encoded words are dropped, and adjacent words of one charset are
// converted together. A malformed word stays as written. The result is never longer than
// kMostUtf8BytesPerByte times the input.
std::string DecodeEncodedWords(std::string_view text);
