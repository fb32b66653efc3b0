#include "platform/string_list.h"

#include <cstring>
#include <stdexcept>

#include "platform/ascii_text.h"
#include "platform/line_splitter.h"
#include "platform/streams.h"

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::operator[](int index) const {
  CheckIndex(index, Count());
  return lines_[static_cast<std::size_t>(index)];
}

std::string& TStringList::operator[](int index) {
  CheckIndex(index, Count());
  return lines_[static_cast<std::size_t>(index)];
}

int TStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  return Count() - 1;
}

void TStringList::Insert(int index, std::string line) {
  CheckIndex(index, Count() + 1);
  lines_.insert(lines_.begin() + index, std::move(line));
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  lines_.erase(lines_.begin() + index);
}

bool TStringList::Same(std::string_view a, std::string_view b) const {
  return CaseSensitive ? a == b : ascii::EqualsNoCase(a, b);
}

int TStringList::IndexOf(std::string_view line) const {
  for (int i = 0; i < Count(); ++i)
    if (Same(lines_[static_cast<std::size_t>(i)], line)) return i;
  return -1;
}

int TStringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string_view line = lines_[static_cast<std::size_t>(i)];
    const auto eq = line.find('=');
    if (eq != std::string_view::npos && Same(line.substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStringList::Names(int index) const {
  const std::string& line = (*this)[index];
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& line = (*this)[index];
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string TStringList::Values(std::string_view name) const {
  const int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

std::string TStringList::Text() const {
  std::size_t total = 0;
  for (const auto& line : lines_) total += line.size() + 2;
  std::string text;
  text.reserve(total);
  for (const auto& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TStringList::SetText(std::string_view text, TNulHandling nul) {
  if (nul == TNulHandling::nulEndsText) {
    const auto zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
  }
  // CR LF is one line end; a lone CR or LF is one too.
  std::vector<std::string> lines = SplitLines(text, TLineEnds::leAny);
  lines_.swap(lines);
}

void TStringList::LoadFromStream(TStream& source, TNulHandling nul) {
  TMemoryStream all;
  all.CopyFrom(source);
  SetText(all.DataString(), nul);
}

void TStringList::LoadFromFile(const std::string& path, TNulHandling nul) {
  TFileStream file(path, TFileMode::fmOpenRead);
  LoadFromStream(file, nul);
}

void TStringList::SaveToStream(TStream& dest) const {
  dest.WriteString(Text());
}

void TStringList::SaveToFile(const std::string& path) const {
  TFileStream file(path, TFileMode::fmCreate);
  SaveToStream(file);
}
