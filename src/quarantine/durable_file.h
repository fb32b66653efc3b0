#pragma once
// Files that are either there whole and on disk, or not there at all: written under a
// temporary name in the same folder, flushed, then renamed into place, and the folder flushed
// after the rename so that the new name survives a power cut too.

#include <sys/types.h>

#include <stdexcept>
#include <string>
#include <string_view>

// A file or folder operation that failed; the text names the file and the system's reason.
class EDurableFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Temporary files begin with this; a name of this kind left by a crash can be removed.
inline constexpr std::string_view kTemporaryPrefix = ".incoming-";

// Creates the folder and any missing parents with mode 0700. A folder that exists keeps its
// parents as they are, but is itself narrowed to 0700 when it is the user's.
void EnsurePrivateFolder(const std::string& folder);

// Writes the bytes to a new temporary file in `folder` with the given mode, flushed to disk.
// Returns its path. Nothing is left behind on failure.
std::string WriteTemporaryFile(const std::string& folder, std::string_view bytes, mode_t mode);

// Renames `from` to `to` unless `to` already exists. Returns false (and leaves both as they
// were) when it exists.
bool RenameIfAbsent(const std::string& from, const std::string& to);

// Flushes the folder's entries (the names renamed into it) to disk.
void SyncFolder(const std::string& folder);

// Replaces `path` with the bytes in one rename; the old file stays whole on failure.
void ReplaceFileDurably(const std::string& path, std::string_view bytes, mode_t mode);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// The whole file; EDurableFileError when it cannot be read.
std::string ReadFileBytes(const std::string& path);
