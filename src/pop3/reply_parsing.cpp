#include "pop3/reply_parsing.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads a decimal number at pos (after white space), digit by digit, into a 32-bit signed
// value. A number that does not fit is refused as a whole rather than wrapped, so a hostile
// reply cannot plant a wrong count.
TNumberParse ReadDecimal(std::string_view text, std::size_t& pos, std::int32_t& value) {
  while (pos < text.size() && IsWhite(text[pos])) ++pos;
  std::int64_t accumulated = 0;
  bool overflow = false;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (!overflow) {
      accumulated = accumulated * 10 + (text[pos] - '0');
      if (accumulated > INT32_MAX) overflow = true;
    }
    ++pos;
  }
  if (overflow) {
    value = 0;
    return TNumberParse::Overflow;
  }
  value = std::int32_t(accumulated);
  return TNumberParse::Ok;
}

std::size_t FirstDigit(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && !IsDigit(text[pos])) ++pos;
  return pos;
}

}  // namespace

std::string Pop3Trim(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

int JudgeStatusLine(std::string_view line) {
  return !line.empty() && line[0] == '+' ? 0 : 500;
}

std::string ExtractApopTimestamp(std::string_view greeting) {
  std::size_t open = greeting.find('<');
  if (open == std::string_view::npos) return {};
  std::size_t close = greeting.find('>', open);
  if (close == std::string_view::npos) return {};
  return std::string(greeting.substr(open, close - open + 1));
}

TNumberParse ParseNumberPair(std::string_view text, std::int32_t& first, std::int32_t& second) {
  first = second = 0;
  std::size_t pos = FirstDigit(text);
  if (pos == text.size()) return TNumberParse::Missing;
  std::int32_t a = 0, b = 0;
  if (ReadDecimal(text, pos, a) == TNumberParse::Overflow) return TNumberParse::Overflow;
  while (pos < text.size() && IsWhite(text[pos])) ++pos;
  if (pos == text.size()) return TNumberParse::Missing;
  if (ReadDecimal(text, pos, b) == TNumberParse::Overflow) return TNumberParse::Overflow;
  first = a;
  second = b;
  return TNumberParse::Ok;
}

TNumberParse ParseNumberAndId(std::string_view text, std::int32_t& number, std::string& id) {
  number = 0;
  id.clear();
  std::size_t pos = FirstDigit(text);
  if (pos == text.size()) return TNumberParse::Missing;
  std::int32_t n = 0;
  if (ReadDecimal(text, pos, n) == TNumberParse::Overflow) return TNumberParse::Overflow;
  number = n;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  std::size_t begin = pos;
  while (pos < text.size() && text[pos] >= 33 && text[pos] <= 126) ++pos;
  id.assign(text.substr(begin, pos - begin));
  return TNumberParse::Ok;
}

void UnstuffDataLine(std::string& line) {
  if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.erase(0, 1);
}
