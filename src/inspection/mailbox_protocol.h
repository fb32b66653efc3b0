#pragma once
// Small pieces of the mailbox dialogue: reading the mail program's number arguments and the
// server's listing lines, and byte-stuffing a stored mail for sending.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The argument of "RETR n" / "DELE n": the text after the keyword and its blank, without the
// line end, read as a decimal integer (leading blanks and a sign allowed). Anything that is
// not a number, or does not fit 32 bits, gives -1.
int ParseNumberArgument(std::string_view command);

// "LIST" alone (only blanks before the line end) has no argument: nullopt. "LIST n" gives n,
// and any other argument gives -1.
std::optional<int> ParseListArgument(std::string_view command);

struct TListLine {
  int Number = 0;
  int Size = 0;
};

// One data line of the server's LIST reply: the number before the first blank and the size
// after it. nullopt when the line has no blank, either part is not a number, or the size is
// negative.
std::optional<TListLine> ParseListLine(std::string_view line);

struct TStatReply {
  std::int32_t Count = 0;
  std::int64_t Size = 0;
};

// The server's positive STAT line: the status word, then the count and the size as plain
// decimals after blanks (RFC 1939), text after them allowed. nullopt when either is missing,
// carries a sign, or the count does not fit 32 bits.
std::optional<TStatReply> ParseStatReply(std::string_view line);

// Byte-stuffing of one mail sent in pieces: every line that begins with "." goes out with one
// more "." in front. Lines are separated by CR LF (the first line starts at the beginning);
// a line break split between two pieces is still recognised.
class TByteStuffer {
 public:
  void Append(std::string_view data, std::string& out);

 private:
  bool atLineStart_ = true;
  bool lastWasCr_ = false;
};
