#include "quarantine/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/system_error_text.h"
#include "platform/unique_fd.h"

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EDurableFileError(SystemErrorText(what, path, error));
}

void MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return;
  if (errno == ENOENT) {
    const std::string parent = FolderOf(folder);
    if (parent != folder && parent != "." && parent != "/") {
      MakeFolder(parent);
      if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return;
    }
  }
  Fail("cannot create the folder", folder, errno);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void EnsurePrivateFolder(const std::string& folder) {
  MakeFolder(folder);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) Fail("cannot look at the folder", folder, errno);
  if (!S_ISDIR(st.st_mode)) Fail("cannot use the folder", folder, ENOTDIR);
  // Mail is private: others may not even see which copies there are.
  if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::chmod(folder.c_str(), 0700);
}

std::string WriteTemporaryFile(const std::string& folder, std::string_view bytes, mode_t mode) {
  std::string path = folder + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
  std::vector<char> pattern(path.begin(), path.end());
  pattern.push_back('\0');
  TUniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.Get() < 0) Fail("cannot create a file in", folder, errno);
  path = pattern.data();
  auto fail = [&path](const char* what, int error) {
    ::unlink(path.c_str());
    Fail(what, path, error);
  };
  if (::fchmod(fd.Get(), mode) != 0) fail("cannot set the mode of", errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.Get()) != 0) fail("cannot flush", errno);
  if (fd.Close() != 0) fail("cannot close", errno);
  return path;
}

bool RenameIfAbsent(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) Fail("cannot rename to", to, errno);
  // A file system without the no-replace rename: a hard link refuses an existing name too.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  if (errno != EPERM && errno != ENOTSUP) Fail("cannot rename to", to, errno);
  // Neither (a file system without links): the proxy is the only writer of the folder.
  if (::access(to.c_str(), F_OK) == 0) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot rename to", to, errno);
  return true;
}

void SyncFolder(const std::string& folder) {
  TUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) Fail("cannot open the folder", folder, errno);
  if (::fsync(fd.Get()) != 0 && errno != EINVAL) Fail("cannot flush the folder", folder, errno);
}

void ReplaceFileDurably(const std::string& path, std::string_view bytes, mode_t mode) {
  const std::string folder = FolderOf(path);
  const std::string temporary = WriteTemporaryFile(folder, bytes, mode);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    Fail("cannot write", path, error);
  }
  SyncFolder(folder);
}

std::string ReadFileBytes(const std::string& path) {
  TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) Fail("cannot open", path, errno);
  std::string bytes;
  char block[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), block, sizeof block);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", path, errno);
    }
    bytes.append(block, static_cast<std::size_t>(n));
  }
  return bytes;
}
