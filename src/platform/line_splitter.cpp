#include "platform/line_splitter.h"

bool TLineSplitter::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  std::size_t end = std::string_view::npos;
  std::size_t next = 0;
  switch (ends_) {
    case TLineEnds::leCrLfOnly:
      end = text_.find("\r\n", pos_);
      next = end + 2;
      break;
    case TLineEnds::leLf:
      end = text_.find('\n', pos_);
      next = end + 1;
      if (end != std::string_view::npos && end > pos_ && text_[end - 1] == '\r') --end;
      break;
    case TLineEnds::leAny:
      end = text_.find_first_of("\r\n", pos_);
      next = end + 1;
      if (end != std::string_view::npos && text_[end] == '\r' && end + 1 < text_.size() &&
          text_[end + 1] == '\n') {
        ++next;
      }
      break;
  }
  lastEnded_ = end != std::string_view::npos;
  if (!lastEnded_) {
    line = text_.substr(pos_);
    pos_ = text_.size();
    return true;
  }
  line = text_.substr(pos_, end - pos_);
  pos_ = next;
  return true;
}

std::vector<std::string> SplitLines(std::string_view text, TLineEnds ends) {
  std::vector<std::string> lines;
  TLineSplitter splitter(text, ends);
  std::string_view line;
  while (splitter.Next(line)) lines.emplace_back(line);
  return lines;
}
