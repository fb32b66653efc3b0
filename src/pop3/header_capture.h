#pragma once
// Picks a few header fields out of the first lines of a retrieved message, as they pass by.

#include <string>
#include <string_view>

struct TPop3HeaderValues {
  std::string Keyword;  // the last field name seen, trimmed and in lower case
  std::string Data;     // the text after its colon, untrimmed, at most 10000 bytes
  std::string From, To, Subject, ReplyTo, MessageId, Date, ReturnPath;

  void Clear() { *this = TPop3HeaderValues(); }
};

constexpr std::size_t kHeaderDataLimit = 10000;

// Reads one (already unstuffed) data line while the header lasts. Returns true when the line
// is the empty line that ends the header.
bool CaptureHeaderLine(std::string_view line, TPop3HeaderValues& values);
