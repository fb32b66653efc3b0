#include "inspection/mail_lines.h"

TMailLines SplitMailLines(std::string_view content) {
  TMailLines mail;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t crlf = content.find("\r\n", start);
    if (crlf == std::string_view::npos) {
      mail.Lines.emplace_back(content.substr(start));
      mail.EndsWithLineBreak = false;
      return mail;
    }
    mail.Lines.emplace_back(content.substr(start, crlf - start));
    start = crlf + 2;
  }
  return mail;
}

std::string JoinMailLines(const TMailLines& mail) {
  std::size_t total = 0;
  for (const auto& line : mail.Lines) total += line.size() + 2;
  std::string out;
  out.reserve(total);
  for (std::size_t i = 0; i < mail.Lines.size(); ++i) {
    out += mail.Lines[i];
    if (i + 1 < mail.Lines.size() || mail.EndsWithLineBreak) out += "\r\n";
  }
  return out;
}

std::vector<std::string> SplitTextFileLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      start = end + 2;
    } else {
      start = end + 1;
    }
  }
  return lines;
}
