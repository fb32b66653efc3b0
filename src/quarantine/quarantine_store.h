#pragma once
// The quarantine folder: one file per mail the delete action removed, the mail byte for byte
// as the server sent it (unstuffed), with a small description beside it (copy_record.h).
// Copies are private to the user (files 0600 in a folder 0700) and reach their name only whole
// and flushed to disk, so a copy that exists can be relied on.

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quarantine/copy_record.h"

// Why a copy could not be written, found, read or removed; the text is for the user.
class EQuarantineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TQuarantineCopy {
  std::string FileName;  // e.g. 20261209-161530-001.eml
  std::string Path;
  std::time_t Copied = 0;  // from the file name
  std::int64_t Size = 0;
  TCopyRecord Record;
  // The description was there; else Record holds the mail's own header fields and no
  // blocked names.
  bool Described = false;
};

struct TPruneResult {
  std::vector<std::string> Removed;  // file names of the copies removed
  std::vector<std::string> Errors;   // copies that should have gone but could not
};

class TQuarantine {
 public:
  explicit TQuarantine(std::string folder) : folder_(std::move(folder)) {}
  const std::string& Folder() const { return folder_; }

  // Writes the mail and its description, creating the folder when needed; returns the copy's
  // file name. Only when this returns is the copy on disk. Throws EQuarantineError, leaving
  // nothing behind.
  std::string Keep(std::string_view mail, const TCopyRecord& record, std::time_t now) const;

  // Every copy, oldest first. A missing folder holds none.
  std::vector<TQuarantineCopy> List() const;
  // A copy by its number in List() (1 is the oldest) or by its file name (with or without
  // ".eml"). EQuarantineError when there is no such copy.
  TQuarantineCopy Find(std::string_view which) const;

  std::string ReadMail(const TQuarantineCopy& copy) const;
  // Writes the mail to `target` (replacing it in one rename, mode 0600).
  void Export(const TQuarantineCopy& copy, const std::string& target) const;
  // Removes the copy and its description.
  void Remove(const TQuarantineCopy& copy) const;

  // Removes copies made more than `days` days before `now` (none when days <= 0), and
  // temporary files a crash left behind.
  TPruneResult RemoveOlderThan(int days, std::time_t now) const;

 private:
  std::string RecordPath(std::string_view fileName) const;
  std::string folder_;
};
