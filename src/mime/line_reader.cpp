#include "mime/line_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/streams.h"

namespace mime {

TLineReader::TLineReader(TStream& stream, std::size_t maxLineLength)
    : stream_(stream), maxLineLength_(std::max<std::size_t>(maxLineLength, 2)) {
  buffer_.resize(bufferSize_ + 2);
}

std::int64_t TLineReader::ReadMore(std::size_t want) {
  const std::int64_t got = stream_.Read(Held() + held_, static_cast<std::int64_t>(want));
  if (got > 0) held_ += static_cast<std::size_t>(got);
  buffer_[start_ + held_] = '\0';
  return got;
}

void TLineReader::MakeRoom() {
  if (held_ == 0) {
    start_ = 0;  // nothing to keep: the whole buffer is free again
  } else if (start_ > (bufferSize_ / 4) * 3) {
    std::memmove(buffer_.data(), Held(), held_);
    start_ = 0;
  } else {
    bufferSize_ += kGrowStep;
    buffer_.resize(bufferSize_ + 2);
  }
}

void TLineReader::FetchOneMore() {
  if (inputEnded_) return;
  if (start_ + held_ + 2 > bufferSize_) MakeRoom();
  if (ReadMore(1) <= 0) inputEnded_ = true;
}

bool TLineReader::NextLine(bool unfold, std::string_view& line, bool& cut) {
  cut = false;
  for (;;) {
    // Positions relative to start_, since fetching a byte may move the held bytes.
    std::size_t from = scanned_;
    while (from < held_) {
      const void* hit = std::memchr(Held() + from, '\n', held_ - from);
      if (hit == nullptr) break;
      const auto lf = static_cast<std::size_t>(static_cast<const char*>(hit) - Held());
      if (unfold) {
        if (lf + 1 == held_) FetchOneMore();
        char* held = Held();
        // Only a line that is nothing but its line end is empty; a bare CR at its start is
        // data, and so is the tail of a cut line, which goes on a line already begun. Judging
        // by the first held byte alone made folding depend on where the reads ended.
        const bool lineIsEmpty = !pieceGoesOn_ && (lf == 0 || (lf == 1 && held[0] == '\r'));
        if (!lineIsEmpty && lf + 1 < held_ && (held[lf + 1] == '\t' || held[lf + 1] == ' ')) {
          if (lf > 0 && held[lf - 1] == '\r') held[lf - 1] = ' ';
          held[lf] = ' ';
          held[lf + 1] = ' ';
          from = lf + 2;
          continue;
        }
      }
      std::size_t length = lf;
      if (length > 0 && Held()[length - 1] == '\r') --length;
      // However the bytes arrived, a line over the limit is cut at the same places.
      if (length > maxLineLength_) break;
      line = std::string_view(Held(), length);
      start_ += lf + 1;
      held_ -= lf + 1;
      scanned_ = 0;
      pieceGoesOn_ = false;
      return true;
    }
    // A line of exactly the limit whose CR has come without its LF yet is not over the limit.
    const bool crAwaitsLf = held_ == maxLineLength_ + 1 && Held()[maxLineLength_] == '\r';
    if (held_ > maxLineLength_ && !crAwaitsLf) {
      // Keep a CR at the cut with the next piece, so a CR LF is never split into two ends.
      std::size_t length = maxLineLength_;
      if (Held()[length - 1] == '\r') --length;
      line = std::string_view(Held(), length);
      cut = true;
      start_ += length;
      held_ -= length;
      scanned_ = 0;
      pieceGoesOn_ = true;
      return true;
    }
    scanned_ = held_;

    if (inputEnded_) {
      if (held_ == 0) return false;
      // A last line without a line end.
      line = std::string_view(Held(), held_);
      start_ += held_;
      held_ = 0;
      scanned_ = 0;
      return true;
    }

    // Room for at least one byte, with the two spare bytes kept free.
    do MakeRoom();
    while (start_ + held_ + 2 >= bufferSize_);
    const std::size_t want = bufferSize_ - start_ - held_ - 2;
    if (ReadMore(want) <= 0) inputEnded_ = true;
  }
}

}  // namespace mime
