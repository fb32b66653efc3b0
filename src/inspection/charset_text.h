#pragma once
// Text of a declared charset turned into UTF-8, as a mail program shows a decoded name. The
// conversion never loses a byte a sender wrote: what the charset does not know, or a charset
// the system does not know, stays as it came, so the ASCII part of a name (its extension) is
// still there to be judged.

#include <cstddef>
#include <string>
#include <string_view>

// A converted text is never longer than this many bytes per input byte; a conversion that
// would grow more (a charset mapping one byte to several characters) keeps the bytes instead.
constexpr std::size_t kMostUtf8BytesPerByte = 4;

// The bytes in UTF-8. Empty, US-ASCII and UTF-8 charsets keep the bytes; Latin-1 is converted
// here; every other charset the system's converter knows goes through it, a byte it rejects
// staying as it is and the conversion going on after it. An unknown charset keeps the bytes.
std::string CharsetToUtf8(std::string_view charset, std::string_view bytes);

// Latin-1 bytes to UTF-8; ASCII stays as it is.
std::string Latin1ToUtf8(std::string_view bytes);
