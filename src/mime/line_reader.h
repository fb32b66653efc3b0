#pragma once
// Splits a stream into lines inside one working buffer, never holding more than the line
// being read.
//
// The buffer starts at 2048 bytes. When the held bytes contain no line end, they are moved to
// the front if the line starts beyond three quarters of the buffer, and otherwise the buffer
// grows by 32 bytes; every read leaves two bytes free and puts a zero byte after the data.
// A line longer than the line limit is handed out in pieces of that length, each marked as
// cut, so a line end that never comes cannot make the buffer grow without bound.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class TStream;

namespace mime {

class TLineReader {
 public:
  static constexpr std::size_t kInitialBufferSize = 2048;
  static constexpr std::size_t kGrowStep = 32;

  TLineReader(TStream& stream, std::size_t maxLineLength);

  // The next line without its line end (LF, or CR LF). With `unfold`, a line end followed by
  // TAB or SPACE joins the next line: the CR, the LF and that blank each become a space.
  // `cut` tells that the line was split at the line limit and goes on in the next piece.
  // Returns false when the input is exhausted. `line` stays valid until the next call.
  bool NextLine(bool unfold, std::string_view& line, bool& cut);

  std::size_t BufferSize() const { return bufferSize_; }

 private:
  char* Held() { return buffer_.data() + start_; }
  // Read into the free space after the held bytes; returns the count read.
  std::int64_t ReadMore(std::size_t want);
  // Make room for more bytes after the held ones: move them to the front or grow.
  void MakeRoom();
  // Unfolding needs the byte after a final LF; fetch it when it is not held yet.
  void FetchOneMore();

  TStream& stream_;
  std::size_t maxLineLength_;
  std::vector<char> buffer_;
  std::size_t bufferSize_ = kInitialBufferSize;  // the buffer's working size
  std::size_t start_ = 0;                        // start of the current line
  std::size_t held_ = 0;                         // bytes held from start_ on
  std::size_t scanned_ = 0;                      // held bytes known to contain no LF
  bool inputEnded_ = false;
  bool pieceGoesOn_ = false;  // the held bytes go on a line handed out cut
};

}  // namespace mime
