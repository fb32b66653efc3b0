#include "platform/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::int64_t TStream::Size() {
  const std::int64_t here = Position();
  const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  auto* out = static_cast<char*>(buffer);
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t got = Read(out + done, count - done);
    if (got <= 0) throw EStreamError("Stream read error");
    done += got;
  }
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  const auto* in = static_cast<const char*>(buffer);
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t put = Write(in + done, count - done);
    if (put <= 0) throw EStreamError("Stream write error");
    done += put;
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  char chunk[65536];
  std::int64_t copied = 0;
  while (count < 0 || copied < count) {
    std::int64_t want = static_cast<std::int64_t>(sizeof chunk);
    if (count >= 0) want = std::min(want, count - copied);
    const std::int64_t got = source.Read(chunk, want);
    if (got <= 0) {
      if (count >= 0) throw EStreamError("Stream read error");
      break;
    }
    WriteBuffer(chunk, got);
    copied += got;
  }
  return copied;
}

// ---- TMemoryStream ----

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  const auto size = static_cast<std::int64_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  const std::int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const auto end = static_cast<std::size_t>(position_ + count);
  if (end > data_.size()) data_.resize(end, '\0');
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
  const std::int64_t target = base + offset;
  if (target < 0) throw EStreamError("Invalid stream position");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<std::size_t>(newSize), '\0');
  position_ = std::min(position_, newSize);
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  TMemoryStream loaded;
  // Room for the whole source at once: grown step by step, a large mail would briefly take
  // up to twice its size.
  const std::int64_t size = source.Size();
  if (size > 0) loaded.data_.reserve(static_cast<std::size_t>(size));
  loaded.CopyFrom(source);
  data_.swap(loaded.data_);
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream file(path, TFileMode::fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  dest.WriteBuffer(data_.data(), static_cast<std::int64_t>(data_.size()));
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  TFileStream file(path, TFileMode::fmCreate);
  SaveToStream(file);
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& path, TFileMode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TFileMode::fmOpenRead:
      flags |= O_RDONLY;
      break;
    case TFileMode::fmOpenWrite:
      flags |= O_WRONLY;
      break;
    case TFileMode::fmOpenReadWrite:
      flags |= O_RDWR;
      break;
  }
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) {
    const char* verb = mode == TFileMode::fmCreate ? "create" : "open";
    throw EFOpenError(std::string("Cannot ") + verb + " file \"" + path + "\". " +
                      std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(EISDIR));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TFileStream::Fail(const char* what) const {
  throw EStreamError(std::string(what) + " \"" + path_ + "\": " + std::strerror(errno));
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, static_cast<std::size_t>(count));
    if (got >= 0) return got;
    if (errno != EINTR) Fail("Cannot read from file");
  }
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  const auto* in = static_cast<const char*>(buffer);
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd_, in + done, static_cast<std::size_t>(count - done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write to file");
    }
    done += put;
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
  if (origin == TSeekOrigin::soEnd) whence = SEEK_END;
  const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (result < 0) Fail("Cannot seek in file");
  return result;
}

void TFileStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  const std::int64_t here = Position();
  if (::ftruncate(fd_, static_cast<off_t>(newSize)) != 0) Fail("Cannot resize file");
  if (here > newSize) Seek(newSize, TSeekOrigin::soBeginning);
}
