#include "inspection/report_template.h"

std::string ExtractAddress(std::string_view headerValue) {
  const std::size_t open = headerValue.find('<');
  const std::size_t close = headerValue.find('>');
  if (open == std::string_view::npos || close == std::string_view::npos) {
    return std::string(headerValue);
  }
  if (close <= open + 1) return {};
  return std::string(headerValue.substr(open + 1, close - open - 1));
}

namespace {

void ReplaceFirstInEachLine(std::vector<std::string>& lines, std::string_view placeholder,
                            std::string_view value) {
  for (auto& line : lines) {
    const std::size_t p = line.find(placeholder);
    if (p != std::string::npos) line.replace(p, placeholder.size(), value);
  }
}

}  // namespace

void FillReportTemplate(std::vector<std::string>& lines, std::string_view fromHeader,
                        std::string_view subjectHeader, std::string_view toHeader) {
  ReplaceFirstInEachLine(lines, "XXX%1", ExtractAddress(toHeader));
  ReplaceFirstInEachLine(lines, "XXX%2", subjectHeader);
  ReplaceFirstInEachLine(lines, "XXX%3", ExtractAddress(fromHeader));
}
