#pragma once
// TOP n m, served from the checked store: the arguments, and the part of a stored mail that
// goes out (the header, the blank line and the first m lines of the body).

#include <string_view>

struct TTopArguments {
  // -1 for an argument that is missing, not a number or does not fit 32 bits.
  int Number = -1;
  int Lines = -1;
};

// "TOP n m" with its line end or without; blanks between and after the numbers are allowed,
// anything else after the keyword makes both numbers -1.
TTopArguments ParseTopArguments(std::string_view command);

// The start of a stored mail (lines ended by CR LF) up to the end of the body's `bodyLines`-th
// line: the whole header, the blank line after it, then that many lines. A mail without a
// blank line is all header and comes whole; a count beyond the body gives the whole mail.
// The text is unstuffed, as stored.
std::string_view TopOfMail(std::string_view content, int bodyLines);
