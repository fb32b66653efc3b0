// Fuzz entry for the text table reader: any file content loads without fault, and every id
// whose text is looked up gets what a plain reading of the file says: the text after the first
// "=" of the first line whose name part is exactly the id, lines split at CR LF, CR or LF, a
// zero byte ending the file. Run with a malloc limit, so a table that grew out of proportion
// to its file is reported too.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/text_table.h"
#include "fuzz_check.h"

namespace {

std::string TablePath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/brindlecap-text-table-fuzz-" +
         std::to_string(::getpid()) + ".ini";
}

std::vector<std::string_view> PlainLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
  return lines;
}

std::string PlainLookup(const std::vector<std::string_view>& lines, int id) {
  std::string name = std::to_string(id);
  for (std::string_view line : lines) {
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && line.substr(0, eq) == name)
      return std::string(line.substr(eq + 1));
  }
  return "";
}

// Every id the file could name: the leading decimal digits (with a sign) of every line, and
// a few that no line names.
std::set<int> CandidateIds(const std::vector<std::string_view>& lines) {
  std::set<int> ids = {0, 1, 100, 999, -1};
  for (std::string_view line : lines) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq > 11) continue;
    std::string name(line.substr(0, eq));
    char* end = nullptr;
    long id = std::strtol(name.c_str(), &end, 10);
    if (end == name.c_str() + name.size() && id >= -2147483647L && id <= 2147483647L)
      ids.insert(static_cast<int>(id));
  }
  return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  static const std::string path = TablePath();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  ClearTextTable();
  LoadTextTable(path);
  std::vector<std::string_view> lines = PlainLines(content);
  std::set<int> ids = CandidateIds(lines);
  for (int id : ids) {
    std::string text = GetTextById(id);
    FUZZ_CHECK(text.size() <= content.size(), "a text longer than its file");
    FUZZ_CHECK(text == PlainLookup(lines, id), "a looked-up text differs from the file's line");
  }
  // A second load appends to the table: the first definition keeps winning.
  LoadTextTable(path);
  for (int id : ids)
    FUZZ_CHECK(GetTextById(id) == PlainLookup(lines, id), "a reload changed a text");
  ClearTextTable();
  ::unlink(path.c_str());
  return 0;
}
