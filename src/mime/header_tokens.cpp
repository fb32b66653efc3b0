#include "mime/header_tokens.h"

#include "mime/ascii.h"

namespace mime {

namespace {

bool IsWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDelimiter(char c) {
  return c == '\0' || c == ' ' || c == '\t' || c == ':' || c == ';' || c == '=';
}

}  // namespace

void THeaderTokenReader::SkipWhitespace() {
  while (IsWhitespace(At(pos_))) ++pos_;
}

void THeaderTokenReader::StepPastEnding() {
  if (ending_ == ' ' || ending_ == '\t') {
    // "name : value" - the blank stays the ending character, so such a name is no field.
    SkipWhitespace();
    const char next = At(pos_);
    if (next == '\t' || next == ':' || next == ';' || next == '=') ++pos_;
  } else if (ending_ != '\0') {
    ++pos_;
  }
  SkipWhitespace();
}

void THeaderTokenReader::ReadName(std::string& out) {
  out.clear();
  SkipWhitespace();
  while (!IsDelimiter(At(pos_))) out += LowerAscii(line_[pos_++]);
  ending_ = At(pos_);
  StepPastEnding();
}

void THeaderTokenReader::ReadValueToken(std::string& out) {
  out.clear();
  SkipWhitespace();
  int depth = 0;
  for (;;) {
    const char c = At(pos_);
    if (c == '\0') break;
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth <= 0 && IsDelimiter(c)) {
      break;
    } else {
      out += LowerAscii(c);
    }
    ++pos_;
  }
  ending_ = At(pos_);
  StepPastEnding();
}

void THeaderTokenReader::ReadQuoted(std::string& out) {
  ++pos_;  // the opening quote
  const std::size_t start = pos_;
  while (At(pos_) != '\0' && At(pos_) != '"') ++pos_;
  out.assign(line_.substr(start, pos_ - start));
  if (At(pos_) == '"') ++pos_;
}

void THeaderTokenReader::ReadParamValue(std::string& out) {
  SkipWhitespace();
  if (At(pos_) != '"') {
    ReadName(out);
    return;
  }
  ReadQuoted(out);
  ending_ = At(pos_);
  StepPastEnding();
}

void THeaderTokenReader::ReadFilenameValue(std::string& out) {
  SkipWhitespace();
  if (At(pos_) == '"') {
    ReadQuoted(out);
  } else {
    out.assign(Rest());
    pos_ = line_.size();
  }
}

std::string_view WithoutAngleBrackets(std::string_view value) {
  if (value.size() >= 2 && value.front() == '<' && value.back() == '>')
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace mime
