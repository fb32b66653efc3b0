#include "quarantine/quarantine_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/system_error_text.h"
#include "quarantine/copy_names.h"
#include "quarantine/durable_file.h"

namespace {

constexpr mode_t kPrivateFile = 0600;
// A temporary file this old belongs to no write in progress.
constexpr std::time_t kStaleTemporary = 60 * 60;
// More copies within one second than this means something else is wrong.
constexpr unsigned kMostPerSecond = 100000;

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    if (errno == ENOENT) return names;
    throw EQuarantineError(SystemErrorText("cannot read the quarantine folder", folder, errno));
  }
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  return names;
}

bool IsNumber(std::string_view text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw EQuarantineError(SystemErrorText("cannot remove", path, errno));
  }
}

}  // namespace

std::string TQuarantine::RecordPath(std::string_view fileName) const {
  return folder_ + "/" + std::string(FileStem(fileName)) + std::string(kRecordExtension);
}

std::string TQuarantine::Keep(std::string_view mail, const TCopyRecord& record,
                              std::time_t now) const {
  std::string mailTemporary, recordTemporary, placed;
  try {
    EnsurePrivateFolder(folder_);
    // The description first: a mail renamed into place is then complete at once.
    recordTemporary = WriteTemporaryFile(folder_, FormatCopyRecord(record, now), kPrivateFile);
    mailTemporary = WriteTemporaryFile(folder_, mail, kPrivateFile);
    for (unsigned counter = 1; counter <= kMostPerSecond && placed.empty(); ++counter) {
      const std::string name = CopyStem(now, counter) + std::string(kCopyExtension);
      // A description without its mail (from an interrupted removal) does not keep a name.
      if (::access(RecordPath(name).c_str(), F_OK) == 0) continue;
      if (RenameIfAbsent(mailTemporary, folder_ + "/" + name)) placed = name;
    }
    if (placed.empty()) throw EDurableFileError("no free file name in " + folder_);
    mailTemporary.clear();
    if (::rename(recordTemporary.c_str(), RecordPath(placed).c_str()) != 0) {
      throw EDurableFileError(SystemErrorText("cannot write", RecordPath(placed), errno));
    }
    recordTemporary.clear();
    SyncFolder(folder_);
    return placed;
  } catch (const EDurableFileError& e) {
    for (const std::string& path : {mailTemporary, recordTemporary}) {
      if (!path.empty()) ::unlink(path.c_str());
    }
    if (!placed.empty()) {
      ::unlink((folder_ + "/" + placed).c_str());
      ::unlink(RecordPath(placed).c_str());
    }
    throw EQuarantineError(e.what());
  }
}

std::vector<TQuarantineCopy> TQuarantine::List() const {
  std::vector<std::pair<TCopyName, std::string>> found;
  for (std::string& name : FolderEntries(folder_)) {
    if (auto parsed = ParseCopyName(name)) found.emplace_back(*parsed, std::move(name));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (a.first.moment != b.first.moment) return a.first.moment < b.first.moment;
    if (a.first.counter != b.first.counter) return a.first.counter < b.first.counter;
    return a.second < b.second;
  });
  std::vector<TQuarantineCopy> copies;
  for (auto& [parsed, name] : found) {
    TQuarantineCopy copy;
    copy.Path = folder_ + "/" + name;
    struct stat st {};
    // A copy that vanished meanwhile (removed by another program) is not listed.
    if (::stat(copy.Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    copy.FileName = std::move(name);
    copy.Copied = parsed.moment;
    copy.Size = st.st_size;
    try {
      copy.Record = ParseCopyRecord(ReadFileBytes(RecordPath(copy.FileName)));
      copy.Described = true;
    } catch (const EDurableFileError&) {
      try {
        copy.Record = RecordFromMailHeader(ReadFileBytes(copy.Path));
      } catch (const EDurableFileError&) {
        // Listed all the same: the user may still remove it.
      }
    }
    copies.push_back(std::move(copy));
  }
  return copies;
}

TQuarantineCopy TQuarantine::Find(std::string_view which) const {
  std::vector<TQuarantineCopy> copies = List();
  if (IsNumber(which)) {
    const auto number = std::stoul(std::string(which));
    if (number >= 1 && number <= copies.size()) return copies[number - 1];
    throw EQuarantineError("there is no copy number " + std::string(which) + " (the quarantine " +
                           "holds " + std::to_string(copies.size()) + ")");
  }
  for (TQuarantineCopy& copy : copies) {
    if (copy.FileName == which || FileStem(copy.FileName) == which) return copy;
  }
  throw EQuarantineError("there is no copy named " + std::string(which) + " in " + folder_);
}

std::string TQuarantine::ReadMail(const TQuarantineCopy& copy) const {
  try {
    return ReadFileBytes(copy.Path);
  } catch (const EDurableFileError& e) {
    throw EQuarantineError(e.what());
  }
}

void TQuarantine::Export(const TQuarantineCopy& copy, const std::string& target) const {
  const std::string mail = ReadMail(copy);
  try {
    ReplaceFileDurably(target, mail, kPrivateFile);
  } catch (const EDurableFileError& e) {
    throw EQuarantineError(e.what());
  }
}

void TQuarantine::Remove(const TQuarantineCopy& copy) const {
  // The mail first: a description left alone is harmless and goes with the next copy's name.
  RemoveFile(copy.Path);
  RemoveFile(RecordPath(copy.FileName));
}

TPruneResult TQuarantine::RemoveOlderThan(int days, std::time_t now) const {
  TPruneResult result;
  std::vector<std::string> names;
  try {
    names = FolderEntries(folder_);
  } catch (const EQuarantineError& e) {
    result.Errors.emplace_back(e.what());
    return result;
  }
  for (const std::string& name : names) {
    if (!name.starts_with(kTemporaryPrefix)) continue;
    const std::string path = folder_ + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        st.st_mtime + kStaleTemporary < now) {
      ::unlink(path.c_str());
    }
  }
  if (days <= 0) return result;
  const std::time_t limit = now - static_cast<std::time_t>(days) * 24 * 60 * 60;
  // Descriptions whose mail was removed by hand go when their copy would have gone.
  for (const std::string& name : names) {
    if (!name.ends_with(kRecordExtension)) continue;
    const std::string mailName = std::string(FileStem(name)) + std::string(kCopyExtension);
    const auto parsed = ParseCopyName(mailName);
    if (parsed && parsed->moment < limit &&
        ::access((folder_ + "/" + mailName).c_str(), F_OK) != 0 && errno == ENOENT) {
      ::unlink((folder_ + "/" + name).c_str());
    }
  }
  for (const TQuarantineCopy& copy : List()) {
    if (copy.Copied >= limit) continue;
    try {
      Remove(copy);
      result.Removed.push_back(copy.FileName);
    } catch (const EQuarantineError& e) {
      result.Errors.emplace_back(e.what());
    }
  }
  return result;
}
