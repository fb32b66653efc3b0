#pragma once
// One block of a socket's send queue: bytes are appended at the write count and handed to the
// system from the read count.

#include <cstdint>
#include <memory>
#include <utility>

class TBuffer {
 public:
  explicit TBuffer(std::int32_t size);

  // Size <= 0 means 1514. Unsent bytes are kept when the storage changes.
  void Resize(std::int32_t size);
  // Copies as much as fits; returns the number of bytes taken (0 when full).
  std::int32_t Append(const void* data, std::int32_t len);
  // The unsent range; length 0 when none.
  std::pair<const std::uint8_t*, std::int32_t> Pending() const;
  // Marks up to `len` unsent bytes as handed over; returns how many. A drained block starts
  // again from its beginning.
  std::int32_t Consume(std::int32_t len);

  std::int32_t Size() const { return size_; }
  std::int32_t WriteCount() const { return wrCount_; }
  std::int32_t ReadCount() const { return rdCount_; }
  std::int32_t FreeSpace() const { return size_ - wrCount_; }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::int32_t size_ = 0;
  std::int32_t wrCount_ = 0;
  std::int32_t rdCount_ = 0;
};
