#include "proxy/command_lines.h"

void TCommandLines::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, lf);
    bytes = lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1);
    const bool ended = lf != std::string_view::npos;
    if (discarding_) {
      discarding_ = !ended;
      continue;
    }
    if (partial_.size() + piece.size() > LineLimit) {
      // Answered once; whatever follows up to the LF belongs to the same line.
      complete_.push_back(TLine{std::string(), true});
      ++completeBytes_;
      partial_.clear();
      discarding_ = !ended;
      continue;
    }
    partial_.append(piece);
    if (!ended) continue;
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    completeBytes_ += partial_.size() + 1;
    complete_.push_back(TLine{std::move(partial_), false});
    partial_.clear();
  }
}

std::optional<TCommandLines::TLine> TCommandLines::Next() {
  if (complete_.empty()) return std::nullopt;
  TLine line = std::move(complete_.front());
  complete_.pop_front();
  completeBytes_ -= line.Text.size() + 1;
  return line;
}

void TCommandLines::Clear() {
  complete_.clear();
  completeBytes_ = 0;
  partial_.clear();
  discarding_ = false;
}
