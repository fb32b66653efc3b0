#pragma once
// A stored mail as a list of lines. The store keeps every mail with CR LF line ends, so only
// CR LF separates lines here: a lone CR or LF inside a line is data of that line and comes
// back unchanged, which keeps a rewritten mail equal to the original outside the lines that
// were meant to change.

#include <string>
#include <string_view>
#include <vector>

struct TMailLines {
  std::vector<std::string> Lines;
  // False when the last line of the mail had no CR LF after it (it is then written back
  // without one).
  bool EndsWithLineBreak = true;
};

TMailLines SplitMailLines(std::string_view content);
std::string JoinMailLines(const TMailLines& mail);

// Lines of a text file written by a person (a notice file, the report template): a line
// break is CR LF, CR or LF, and a last line without a break still counts.
std::vector<std::string> SplitTextFileLines(std::string_view text);
