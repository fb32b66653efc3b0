#include "inspection/attachment_rename.h"

#include "inspection/part_headers.h"
#include "mime/ascii.h"

namespace {

// Where an empty file name stands in a header line: right after "filename=" (and its opening
// quote) when the value there is empty, as the attachment rule reads it.
std::size_t EmptyNamePosition(std::string_view line) {
  for (std::size_t at = 0; at + 9 <= line.size(); ++at) {
    if (!mime::StartsWithNoCase(line.substr(at), "filename=")) continue;
    std::size_t p = at + 9;
    if (p < line.size() && line[p] == '"') {
      ++p;
      if (p < line.size() && line[p] == '"') return p;
      continue;
    }
    if (p == line.size() || line[p] == ';' || line[p] == ' ' || line[p] == '\t') return p;
  }
  return std::string_view::npos;
}

}  // namespace

int RenameAttachmentLines(std::vector<std::string>& lines, std::string_view name) {
  int rewritten = 0;
  for (const TPartHeader& part : FindPartHeaders(lines)) {
    for (std::size_t j = part.First; j < part.End; ++j) {
      const std::size_t p = name.empty() ? EmptyNamePosition(lines[j]) : lines[j].find(name);
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
  const std::vector<TPartHeader> parts = FindPartHeaders(lines);
  // From the last part to the first, so an insertion never moves a part still to be done.
  int done = 0;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    // The notice goes in only where the header ends within six lines after the boundary.
    if (part->End >= lines.size() || !lines[part->End].empty() || part->End > part->Boundary + 6)
      continue;
    const std::string type = PartHeaderValue(lines, part->First, part->End, "content-type");
    const bool html = mime::ContainsNoCase(type, "text/html");
    if (!html && !mime::ContainsNoCase(type, "text/plain")) continue;
    const auto& notice = html ? htmlNotice : textNotice;
    if (!notice) return std::nullopt;
    const auto at = lines.begin() + static_cast<std::ptrdiff_t>(part->End);
    std::vector<std::string> inserted{std::string()};
    inserted.insert(inserted.end(), notice->begin(), notice->end());
    lines.insert(at, inserted.begin(), inserted.end());
    ++done;
  }
  return done;
}
