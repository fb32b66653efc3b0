#include "inspection/attachment_rename.h"

#include <algorithm>

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Every boundary line begins with two dashes; most boundary values do not add two more
// (webmail and many programs write plain letters and digits), and a part behind such a
// boundary must not keep its blocked name while the log says it was renamed.
bool IsBoundaryAt(const std::vector<std::string>& lines, std::size_t i) {
  return i + 1 < lines.size() && StartsWith(lines[i], "--") &&
         StartsWith(lines[i + 1], "Content-Type:");
}

}  // namespace

int RenameAttachmentLines(std::vector<std::string>& lines, std::string_view name) {
  if (name.empty()) return 0;
  const std::size_t count = lines.size();
  int rewritten = 0;
  for (std::size_t i = 0; i + 3 < count; ++i) {
    if (!IsBoundaryAt(lines, i)) continue;
    const std::size_t last = std::min(i + 6, count - 1);
    for (std::size_t j = i; j <= last; ++j) {
      const std::size_t p = lines[j].find(name);
      if (p == std::string::npos) continue;
      std::string renamed = lines[j].substr(0, p);
      renamed += name;
      renamed += "BLOCKED\"";
      if (renamed != lines[j]) {
        lines[j] = std::move(renamed);
        ++rewritten;
      }
    }
  }
  return rewritten;
}

std::optional<int> InsertNoticeLines(std::vector<std::string>& lines,
                                     const std::optional<std::vector<std::string>>& textNotice,
                                     const std::optional<std::vector<std::string>>& htmlNotice) {
  // The scanned range and the header window are bounded by the line count before any
  // insertion, while the indexes refer to the growing list.
  const std::size_t count = lines.size();
  int parts = 0;
  for (std::size_t i = 0; i + 3 < count; ++i) {
    if (!IsBoundaryAt(lines, i)) continue;
    const std::string& type = lines[i + 1];
    const bool html = type.find("text/html") != std::string::npos;
    if (!html && type.find("text/plain") == std::string::npos) continue;
    for (std::size_t j = i + 1; j <= i + 6 && j < count; ++j) {
      if (!lines[j].empty()) continue;
      const auto& notice = html ? htmlNotice : textNotice;
      if (!notice) return std::nullopt;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(j), std::string());
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(j + 1), notice->begin(),
                   notice->end());
      ++parts;
      break;
    }
  }
  return parts;
}
