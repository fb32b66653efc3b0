#include "app/text_table.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/memo.h"

namespace {

std::vector<std::string> textTable;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void LoadTextTable(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return;
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto nul = content.find('\0');
  if (nul != std::string::npos) content.resize(nul);
  for (std::string& line : TMemoLines::Split(content)) textTable.push_back(std::move(line));
}

std::string GetTextById(int id) {
  if (textTable.empty()) return "";
  const std::string key = std::to_string(id);
  for (const std::string& line : textTable) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameIgnoringCase(std::string_view(line).substr(0, eq), key)) return line.substr(eq + 1);
  }
  return "";
}

void ClearTextTable() {
  textTable.clear();
}
