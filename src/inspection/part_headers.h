#pragma once
// Where the part headers of a mail held as lines are, judged the way the MIME decoder judges
// them: the message header declares the boundary, every part header may declare further ones
// (compared without regard to case), and a part header runs from the line after a boundary
// line up to its first empty line (or the end of the mail). A part whose first line begins
// with white space has no header.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TPartHeader {
  // The boundary line that opens the part.
  std::size_t Boundary = 0;
  // The header's lines are [First, End); End is the index of the empty line that ends it, or
  // the line count when the mail ends first.
  std::size_t First = 0;
  std::size_t End = 0;
  // The part's body ends before this line: the next boundary line, or the end of the range.
  std::size_t BodyEnd = 0;
};

std::vector<TPartHeader> FindPartHeaders(const std::vector<std::string>& lines);
// The same for a mail that lies in lines [begin, end) of a larger one (an attached mail).
std::vector<TPartHeader> FindPartHeaders(const std::vector<std::string>& lines, std::size_t begin,
                                         std::size_t end);

// Calls visit(field, first, end) for every header field of lines [first, end): the field
// unfolded into one line as the decoder reads it (a line end and the first blank of its
// continuation become blanks), and the lines it was written on.
void ForEachHeaderField(
    const std::vector<std::string>& lines, std::size_t first, std::size_t end,
    const std::function<void(std::string_view field, std::size_t first, std::size_t end)>& visit);

// The value of the header field `lowerName` within lines [first, end), unfolded (continuation
// lines joined with their white space); empty when the field is absent. The first field of
// that name counts.
std::string PartHeaderValue(const std::vector<std::string>& lines, std::size_t first,
                            std::size_t end, std::string_view lowerName);
