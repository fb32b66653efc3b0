#pragma once
// Reads the tokens of one header line: field and parameter names, value tokens (with
// parenthesised comments), parameter values and filename values.
//
// Whitespace is TAB, LF, CR and SPACE. A delimiter is the end of the line, TAB, SPACE, ":",
// ";" or "=". A zero byte counts as the end of the line, so nothing past it is tokenised.
// After each token, Ending() is the character that ended it.

#include <cstddef>
#include <string>
#include <string_view>

namespace mime {

class THeaderTokenReader {
 public:
  explicit THeaderTokenReader(std::string_view line) : line_(line) {}

  // Field or parameter name, lowercased. A name directly followed by ":" ends in ":"; one
  // followed by blanks ends in the blank, even when a ":" comes after them.
  void ReadName(std::string& out);
  // Content type, transfer encoding or disposition token, lowercased. Between "(" and ")"
  // delimiters (other than the end of the line) do not end the token; the parentheses are
  // dropped.
  void ReadValueToken(std::string& out);
  // A parameter value: a quoted string with its case kept, or else a lowercased name.
  void ReadParamValue(std::string& out);
  // A filename value: a quoted string with its case kept, or else the whole rest of the line
  // unchanged. The ending character is left as it was, so no parameter follows it.
  void ReadFilenameValue(std::string& out);

  char Ending() const { return ending_; }
  // The rest of the line from the reading position: after a name, the field's value with the
  // blanks after the colon skipped.
  std::string_view Rest() const { return pos_ < line_.size() ? line_.substr(pos_) : ""; }

 private:
  char At(std::size_t i) const { return i < line_.size() ? line_[i] : '\0'; }
  void SkipWhitespace();
  void StepPastEnding();
  void ReadQuoted(std::string& out);

  std::string_view line_;
  std::size_t pos_ = 0;
  char ending_ = '\0';
};

// The value without an enclosing "<" ">" pair (only when it is at least two characters long).
std::string_view WithoutAngleBrackets(std::string_view value);

}  // namespace mime
