#include "inspection/part_headers.h"

#include <algorithm>
#include <unordered_set>

#include "mime/ascii.h"
#include "mime/header_tokens.h"

namespace {

bool IsFoldedOn(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// The boundaries a Content-Type field declares, each "--" and its value in lower case, in
// the order written. The decoder takes the message's field only when its name is followed
// by the colon at once, and a part's field whatever follows its name.
std::vector<std::string> DeclaredBoundaries(std::string_view field, bool messageHeader) {
  mime::THeaderTokenReader tokens(field);
  std::string name, value;
  tokens.ReadName(name);
  if (name != "content-type" || (messageHeader && tokens.Ending() != ':')) return {};
  tokens.ReadValueToken(value);
  std::vector<std::string> boundaries;
  while (tokens.Ending() == ';') {
    tokens.ReadName(name);
    if (tokens.Ending() != '=') continue;
    tokens.ReadParamValue(value);
    if (name == "boundary") {
      std::string boundary = "--";
      for (char c : value) boundary += mime::LowerAscii(c);
      boundaries.push_back(std::move(boundary));
    }
  }
  return boundaries;
}

class TBoundaries {
 public:
  explicit TBoundaries(std::string top) : top_(std::move(top)) {}
  void AddInner(std::string boundary) { inner_.insert(std::move(boundary)); }

  bool OpensPart(std::string_view line) const {
    if (line.size() < 2 || line[0] != '-' || line[1] != '-') return false;
    std::string lower;
    mime::AssignLower(lower, line);
    if (lower == top_) return true;
    const bool endsInDashes = lower.size() >= 4 && lower.ends_with("--");
    if (endsInDashes && lower.size() == top_.size() + 2 && lower.starts_with(top_)) return true;
    if (inner_.count(lower) != 0) return true;
    if (endsInDashes) lower.resize(lower.size() - 2);
    return endsInDashes && inner_.count(lower) != 0;
  }
  // Only the message's own boundary ends the preamble.
  bool EndsPreamble(std::string_view line) const {
    std::string lower;
    mime::AssignLower(lower, line);
    return lower == top_;
  }

 private:
  std::string top_;
  std::unordered_set<std::string> inner_;
};

}  // namespace

void ForEachHeaderField(
    const std::vector<std::string>& lines, std::size_t first, std::size_t end,
    const std::function<void(std::string_view field, std::size_t first, std::size_t end)>& visit) {
  std::string field;
  std::size_t from = first;
  for (std::size_t i = first; i < end; ++i) {
    if (i > from && IsFoldedOn(lines[i])) {
      field += "   ";
      field.append(lines[i], 1);
      continue;
    }
    if (i > from) visit(field, from, i);
    field = lines[i];
    from = i;
  }
  if (end > from) visit(field, from, end);
}

std::vector<TPartHeader> FindPartHeaders(const std::vector<std::string>& lines) {
  return FindPartHeaders(lines, 0, lines.size());
}

std::vector<TPartHeader> FindPartHeaders(const std::vector<std::string>& lines, std::size_t begin,
                                         std::size_t end) {
  std::vector<TPartHeader> parts;
  const std::size_t count = std::min(end, lines.size());
  std::size_t i = begin;
  while (i < count && !lines[i].empty()) ++i;
  std::string top;
  bool multipart = false;
  // The last boundary the message header declares counts.
  ForEachHeaderField(lines, begin, i, [&](std::string_view field, std::size_t, std::size_t) {
    std::vector<std::string> declared = DeclaredBoundaries(field, true);
    if (declared.empty()) return;
    top = std::move(declared.back());
    multipart = true;
  });
  if (!multipart) return parts;
  TBoundaries boundaries(top);

  ++i;
  while (i < count && !boundaries.EndsPreamble(lines[i])) ++i;
  // i is a boundary line (or the end): a part header follows it.
  // A boundary line that ends the mail opens no part.
  while (i + 1 < count) {
    TPartHeader part;
    part.Boundary = i;
    part.First = i + 1;
    std::size_t j = part.First;
    if (j < count && !IsFoldedOn(lines[j])) {
      while (j < count && !lines[j].empty()) ++j;
    }
    part.End = j;
    ForEachHeaderField(lines, part.First, part.End,
                       [&](std::string_view field, std::size_t, std::size_t) {
                         for (std::string& declared : DeclaredBoundaries(field, false)) {
                           boundaries.AddInner(std::move(declared));
                         }
                       });
    parts.push_back(part);
    // The body runs up to the next boundary line of any level (a closing one included:
    // what follows it is read as a part header again).
    i = j < count && lines[j].empty() ? j + 1 : j;
    while (i < count && !boundaries.OpensPart(lines[i])) ++i;
    parts.back().BodyEnd = i;
  }
  return parts;
}

std::string PartHeaderValue(const std::vector<std::string>& lines, std::size_t first,
                            std::size_t end, std::string_view lowerName) {
  std::string found;
  bool done = false;
  ForEachHeaderField(lines, first, end, [&](std::string_view field, std::size_t, std::size_t) {
    if (done) return;
    mime::THeaderTokenReader tokens(field);
    std::string name;
    tokens.ReadName(name);
    if (name != lowerName || tokens.Ending() != ':') return;
    found = tokens.Rest();
    done = true;
  });
  return found;
}
