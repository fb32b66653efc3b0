#include "net/wsock_buf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(std::int32_t size) {
  Resize(size);
}

void TBuffer::Resize(std::int32_t size) {
  if (size <= 0) size = 1514;
  if (size == size_) return;
  // Every byte is written before it is read, so the block is not zeroed first: a send queue
  // takes a fresh block for every SendBlockSize bytes queued.
  auto fresh = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
  if (wrCount_ > rdCount_) {
    // Keep what has not been sent yet; a smaller block keeps as much of it as fits.
    wrCount_ = std::min(wrCount_, size);
    rdCount_ = std::min(rdCount_, wrCount_);
    std::memcpy(fresh.get(), data_.get(), static_cast<std::size_t>(wrCount_));
  } else {
    wrCount_ = 0;
    rdCount_ = 0;
  }
  data_ = std::move(fresh);
  size_ = size;
}

std::int32_t TBuffer::Append(const void* data, std::int32_t len) {
  std::int32_t n = std::min(len, size_ - wrCount_);
  if (n <= 0) return 0;
  std::memcpy(data_.get() + wrCount_, data, static_cast<std::size_t>(n));
  wrCount_ += n;
  return n;
}

std::pair<const std::uint8_t*, std::int32_t> TBuffer::Pending() const {
  if (wrCount_ <= rdCount_) return {data_.get(), 0};
  return {data_.get() + rdCount_, wrCount_ - rdCount_};
}

std::int32_t TBuffer::Consume(std::int32_t len) {
  std::int32_t n = std::max(0, std::min(len, wrCount_ - rdCount_));
  rdCount_ += n;
  if (rdCount_ >= wrCount_) {
    rdCount_ = 0;
    wrCount_ = 0;
  }
  return n;
}
