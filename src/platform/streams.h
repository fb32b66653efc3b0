#pragma once
// Byte streams: a position-based interface with an in-memory and a file-backed implementation.
// Stored mails live in memory streams, working files are file streams, and the mail decoder
// reads any stream from its current position.
//
// Positions and counts are 64-bit. Reading at or beyond the end gives 0 bytes; seeking beyond
// the end is allowed and a write there fills the gap with zero bytes. Failures raise
// EStreamError (EFOpenError when a file cannot be opened) with an English text.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to `count` bytes at the position and advances past them. Returns the number read,
  // 0 at the end of the stream.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes `count` bytes at the position and advances past them. Returns the number written.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Moves the position; returns the new position. A negative result raises EStreamError.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size();
  // Truncates or extends (with zero bytes); the position is kept unless it lies beyond the new
  // end, then it moves to the end.
  virtual void SetSize(std::int64_t newSize) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Like Read and Write, but anything short of `count` raises EStreamError.
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  void WriteString(std::string_view text) {
    WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  }
  // Copies `count` bytes from the source's position (count < 0: everything up to its end).
  // Returns the number copied; a source that ends early raises EStreamError.
  std::int64_t CopyFrom(TStream& source, std::int64_t count = -1);
};

// A growable block of memory. Data() stays valid until the next change of the stream.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string_view initial) : data_(initial) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  void SetSize(std::int64_t newSize) override;

  // Empties the stream and rewinds it.
  void Clear();
  const char* Memory() const { return data_.data(); }
  // The whole content, independent of the position.
  const std::string& DataString() const { return data_; }

  // Replace the content with the whole source (read from its start) or file; the position
  // ends at 0. On failure the content is left as it was.
  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& path);
  // Write the whole content, independent of the position. SaveToFile creates or truncates.
  void SaveToStream(TStream& dest) const;
  void SaveToFile(const std::string& path) const;

 private:
  std::string data_;
  std::int64_t position_ = 0;
};

enum class TFileMode {
  fmCreate,        // create or truncate, read and write
  fmOpenRead,      // existing file, read only
  fmOpenWrite,     // existing file, write only
  fmOpenReadWrite  // existing file, read and write
};

// A file opened for the life of the object.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;

  const std::string& FileName() const { return path_; }
  int Handle() const { return fd_; }

 private:
  [[noreturn]] void Fail(const char* what) const;

  std::string path_;
  int fd_ = -1;
};
