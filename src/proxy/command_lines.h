#pragma once
// The mail program's input, collected into command lines. TCP may split one command over
// several reads and join several commands in one; each line ended by LF (CR LF or a lone LF)
// is one command, handed out in arrival order. A line that grows beyond LineLimit bytes
// without its LF is handed out once as too long, and its bytes up to the LF are discarded.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

class TCommandLines {
 public:
  // Bytes a command line may hold before its LF (the CR included).
  static constexpr std::size_t LineLimit = 1024;

  struct TLine {
    // The line without its line end; empty for a line that was too long.
    std::string Text;
    bool TooLong = false;
  };

  void Append(std::string_view bytes);
  // The oldest complete line, taken out; nullopt while none is complete.
  std::optional<TLine> Next();
  bool HasLine() const { return !complete_.empty(); }
  // Bytes held in complete lines (one for each line end) and in the line still being received.
  std::size_t HeldBytes() const { return completeBytes_ + partial_.size(); }
  void Clear();

 private:
  std::deque<TLine> complete_;
  std::size_t completeBytes_ = 0;
  std::string partial_;
  // The rest of a line that was too long is skipped up to its LF.
  bool discarding_ = false;
};
