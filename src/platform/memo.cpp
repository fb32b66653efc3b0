#include "platform/memo.h"

#include "platform/line_splitter.h"

std::vector<std::string> TMemoLines::Split(std::string_view text) {
  return SplitLines(text, TLineEnds::leAny);
}

void TMemoLines::Add(std::string_view line) {
  std::vector<std::string> parts = Split(line);
  if (parts.empty()) parts.emplace_back();  // an empty text still adds one empty line
  for (std::string& part : parts) {
    lines_.push_back(std::move(part));
    memo_.Changed(TChange::LineAdded);
  }
}

void TMemoLines::Clear() {
  if (lines_.empty()) return;
  lines_.clear();
  memo_.Changed(TChange::LinesReset);
}

std::string TMemoLines::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TMemoLines::SetText(std::string_view text) {
  lines_ = Split(text);
  memo_.Changed(TChange::LinesReset);
}

void TMemo::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  Changed(TChange::Appearance);
}

void TMemo::SetScrollBars(TScrollStyle scrollBars) {
  if (scrollBars == scrollBars_) return;
  scrollBars_ = scrollBars;
  Changed(TChange::Appearance);
}
