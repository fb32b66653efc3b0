#pragma once
// RFC 2047 encoded words ("=?charset?B?...?=" and "=?charset?Q?...?="), as mail programs
// decode them in header values and, against the letter of the RFC, inside quoted parameter
// values. Kept small and free of other state so it can be fed hostile input on its own.

#include <string>
#include <string_view>

// The text with every well-formed encoded word decoded; blanks between two adjacent encoded
// words are dropped. Words in Latin-1 or Windows-1252 become UTF-8; other charsets keep their
// bytes. A malformed word stays as written. The result is never longer than twice the input.
std::string DecodeEncodedWords(std::string_view text);

// Latin-1 bytes (Windows-1252 taken as Latin-1) to UTF-8; ASCII stays as it is.
std::string Latin1ToUtf8(std::string_view bytes);

// Whether text in this charset (any letter case) is converted by Latin1ToUtf8.
bool IsLatin1Charset(std::string_view charset);
