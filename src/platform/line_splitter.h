#pragma once
// One way to cut text into lines, with the line-end rule each kind of text needs said out loud.

#include <string>
#include <string_view>
#include <vector>

enum class TLineEnds {
  // Only CR LF ends a line; a lone CR or LF is data of its line and comes back unchanged
  // (a stored mail, whose lines the store ended with CR LF).
  leCrLfOnly,
  // LF ends a line and a CR right before it is dropped; a lone CR is data (files written on
  // either system, mail as the decoder reads it).
  leLf,
  // CR LF, a lone CR and a lone LF each end one line (texts people write, the text table).
  leAny,
};

// Hands out the lines of a text one at a time, without their ends. A last line without an
// end still counts; an empty text has no lines.
class TLineSplitter {
 public:
  TLineSplitter(std::string_view text, TLineEnds ends) : text_(text), ends_(ends) {}

  bool Next(std::string_view& line);
  // Whether the line last handed out was ended by a line end (false for a last line
  // without one).
  bool LastEnded() const { return lastEnded_; }

 private:
  std::string_view text_;
  TLineEnds ends_;
  std::size_t pos_ = 0;
  bool lastEnded_ = false;
};

// Every line of the text (see TLineSplitter).
std::vector<std::string> SplitLines(std::string_view text, TLineEnds ends);
