#pragma once
// An ordered list of byte-string lines, as read from and written to text files.
//
// Reading splits at CR LF, CR or LF; a final line end does not add an empty line, and the
// lines carry no line ends. Writing ends every line with CR LF. Bytes are kept as they are.
// Lookups (IndexOf, IndexOfName, Values) ignore ASCII letter case unless CaseSensitive is set.

#include <string>
#include <string_view>
#include <vector>

class TStream;

// What a zero byte in loaded text means: kept as an ordinary byte, or the end of the text
// (everything from it on is ignored, as the text table file wants).
enum class TNulHandling { nulKeep, nulEndsText };

class TStringList {
 public:
  using const_iterator = std::vector<std::string>::const_iterator;

  bool CaseSensitive = false;

  int Count() const { return static_cast<int>(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  // Index access; an index outside 0..Count()-1 raises std::out_of_range.
  const std::string& operator[](int index) const;
  std::string& operator[](int index);
  const std::string& Strings(int index) const { return (*this)[index]; }

  // Appends a line; returns its index.
  int Add(std::string line);
  // Inserts before `index` (0..Count()); other indexes raise std::out_of_range.
  void Insert(int index, std::string line);
  void Delete(int index);
  void Clear() { lines_.clear(); }

  // The first line equal to `line`, or -1.
  int IndexOf(std::string_view line) const;
  // The first line whose text before its first "=" equals `name`, or -1. Lines without "="
  // never match.
  int IndexOfName(std::string_view name) const;
  // The text before / after the first "=" of line `index` (both empty when there is none).
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  // ValueFromIndex of IndexOfName(name); empty when there is no such line.
  std::string Values(std::string_view name) const;

  // Every line followed by CR LF.
  std::string Text() const;
  // Replaces the lines by those of `text`.
  void SetText(std::string_view text, TNulHandling nul = TNulHandling::nulKeep);

  // Replace the lines by those read from the stream's position to its end, or from a file.
  // A file that cannot be read raises EStreamError and leaves the list as it was.
  void LoadFromStream(TStream& source, TNulHandling nul = TNulHandling::nulKeep);
  void LoadFromFile(const std::string& path, TNulHandling nul = TNulHandling::nulKeep);
  // Write Text() to the stream at its position, or to a file (created or truncated).
  void SaveToStream(TStream& dest) const;
  void SaveToFile(const std::string& path) const;

  const_iterator begin() const { return lines_.begin(); }
  const_iterator end() const { return lines_.end(); }

 private:
  bool Same(std::string_view a, std::string_view b) const;
  void CheckIndex(int index, int limit) const;

  std::vector<std::string> lines_;
};
