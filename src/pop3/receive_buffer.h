#pragma once
// The fixed 4096-byte buffer in which reply lines are assembled. At most 4093 bytes are held,
// which leaves room for a forced CR LF and a terminating zero: a line longer than that is
// handed on in pieces of exactly 4093 bytes. A CR in the last place of a full buffer is held
// back until the next byte shows whether it ends the line: the server's CR LF is never split
// between two pieces.

#include <cstddef>
#include <string>

class TPop3ReceiveBuffer {
 public:
  static constexpr int kSize = 4096;
  static constexpr int kMaxHeld = 4093;

  TPop3ReceiveBuffer() { Clear(); }

  void Clear();
  int Length() const { return length_ - start_; }
  // Free space for the next read; 0 or less means 4093 bytes without a line end are held.
  // A full buffer that ends in CR has room for the one byte that decides what the CR is.
  int Room() const {
    if (Length() == kMaxHeld && data_[length_ - 1] == '\r') return 1;
    return kMaxHeld - Length();
  }
  // Where the next read goes, right after the bytes held (which are moved to the front).
  char* WritePosition() {
    Compact();
    return data_ + length_;
  }
  // Accounts for `count` bytes written at the pointer WritePosition() returned.
  void Commit(int count);
  // Ends the held bytes with a CR LF of our own, so the full buffer goes out as one piece.
  void ForceLineEnd();

  // Takes the first line ended by CR LF (a lone CR or LF ends nothing). `complete` is false for
  // a piece cut by ForceLineEnd. Every byte of the line is kept, zeros included.
  bool TakeLine(std::string& line, bool& complete);

 private:
  // Lines are taken by advancing start_; the rest moves to the front once per read rather
  // than once per line.
  void Compact();

  char data_[kSize];
  int start_ = 0;
  int length_ = 0;
  bool forced_ = false;  // the CR LF at kMaxHeld is ours, not the server's
  // The byte read after a CR at kMaxHeld that was no LF: it begins the piece after the forced one.
  bool carried_ = false;
  char carry_ = 0;
};
