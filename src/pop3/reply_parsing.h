#pragma once
// Reading the pieces of a POP3 reply line: the status verdict, the APOP timestamp of a
// greeting, the number pair of STAT/LIST/LAST, the number and id of UIDL, dot-unstuffing.
// Lines are byte strings and may hold zero bytes.

#include <cstdint>
#include <string>
#include <string_view>

// Removes leading and trailing spaces and control characters (every byte up to 32).
std::string Pop3Trim(std::string_view text);

// 0 when the line begins with "+", else 500; nothing else of the line is looked at.
int JudgeStatusLine(std::string_view line);

// The part from the first "<" through the first ">" after it, brackets included; empty when
// either is missing.
std::string ExtractApopTimestamp(std::string_view greeting);

enum class TNumberParse {
  Ok,
  Missing,   // no number where one was expected; the results are 0
  Overflow,  // a number beyond the 32-bit signed range; the results are 0
};

// Two decimal numbers: the first after skipping everything up to the first digit, the second
// after white space (0 when no digit stands there). Text that ends after the first number
// yields 0 and 0.
TNumberParse ParseNumberPair(std::string_view text, std::int32_t& first, std::int32_t& second);

// A decimal number and the run of printable, non-space characters after the spaces that
// follow it. Without a number both results are empty.
TNumberParse ParseNumberAndId(std::string_view text, std::int32_t& number, std::string& id);

// Removes the first dot of a line that begins with two dots; other lines stay as they are.
void UnstuffDataLine(std::string& line);
