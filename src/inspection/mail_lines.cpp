#include "inspection/mail_lines.h"

#include "platform/line_splitter.h"

TMailLines SplitMailLines(std::string_view content) {
  TMailLines mail;
  TLineSplitter splitter(content, TLineEnds::leCrLfOnly);
  std::string_view line;
  while (splitter.Next(line)) {
    mail.Lines.emplace_back(line);
    mail.EndsWithLineBreak = splitter.LastEnded();
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
  return SplitLines(text, TLineEnds::leAny);
}
