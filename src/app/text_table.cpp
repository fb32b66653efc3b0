#include "app/text_table.h"

#include "platform/streams.h"
#include "platform/string_list.h"

namespace {
// Exactly the lines of the text file, in file order.
TStringList textTable;
}  // namespace

void LoadTextTable(const std::string& fileName) {
  TStringList lines;
  try {
    lines.LoadFromFile(fileName, TNulHandling::nulEndsText);
  } catch (const EStreamError&) {
    return;  // no text file: every lookup yields the empty text
  }
  for (const std::string& line : lines) textTable.Add(line);
}

std::string GetTextById(int id) {
  if (textTable.Empty()) return "";
  // The first line whose name part is the id wins; names compare without letter case.
  return textTable.Values(std::to_string(id));
}

void ClearTextTable() {
  textTable.Clear();
}
