#pragma once
// The settings store: keys of typed values kept in a REGEDIT4 text file. There is no registry
// on this platform, so the file stands in for it. Every reader loads the file afresh, so a
// change made by the configuration program counts at the very next read; writers replace the
// file in one rename, so a reader sees either the old or the new file, never half of one.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum class TRegValueType {
  Integer,       // dword:
  String,        // "quoted", or hex(1): when the text holds line breaks or zero bytes
  ExpandString,  // hex(2): bytes, normally zero-terminated
  Binary,        // hex:
  Other          // any other hex(N): kept byte for byte, readable by no access routine
};

struct TRegValue {
  std::string name;  // "" is the key's default value, written as @
  TRegValueType type = TRegValueType::Integer;
  std::uint32_t integer = 0;  // Integer
  std::string bytes;          // String: the text; the other types: the raw bytes
  unsigned otherCode = 0;     // Other: the N of hex(N)

  static TRegValue MakeInteger(std::string name, std::uint32_t value);
  static TRegValue MakeString(std::string name, std::string text);
  // The text is stored with its terminating zero byte, as the system stores it.
  static TRegValue MakeExpandString(std::string name, std::string_view text);
  static TRegValue MakeBinary(std::string name, std::string bytes);

  // String and ExpandString: the text up to the first zero byte.
  std::string Text() const;
  bool operator==(const TRegValue&) const = default;
};

struct TRegKey {
  std::string path;  // full path with its root, e.g. HKEY_LOCAL_MACHINE\SOFTWARE\...
  std::vector<TRegValue> values;

  // Value names are compared without regard to letter case, as the system does.
  const TRegValue* FindValue(std::string_view name) const;
  TRegValue* FindValue(std::string_view name);
  // Replaces a value of the same name in place (keeping the stored name's letter case), or
  // appends it.
  void SetValue(TRegValue value);
  bool DeleteValue(std::string_view name);
  bool operator==(const TRegKey&) const = default;
};

struct TRegStore {
  std::vector<TRegKey> keys;  // in the order they first appeared

  // Key paths are compared without regard to letter case; surrounding backslashes are ignored.
  const TRegKey* FindKey(std::string_view path) const;
  TRegKey* FindKey(std::string_view path);
  TRegKey& OpenKey(std::string_view path);  // creates the key when missing
  // Removes the key and every key below it. Returns false when there was none.
  bool DeleteKey(std::string_view path);
  bool operator==(const TRegStore&) const = default;
};

// One section of a REGEDIT4 text as written, deletions included ([-key], "name"=-), so that an
// imported file can be merged into a store the way the system's import does it.
struct TRegSection {
  std::string path;
  bool deleteKey = false;
  struct Entry {
    std::string name;
    std::optional<TRegValue> value;  // nullopt: delete the value
  };
  std::vector<Entry> entries;
};
using TRegDocument = std::vector<TRegSection>;

class ERegistryFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// The file is there and readable, but it is no REGEDIT4 text.
class ERegistryParseError : public ERegistryFileError {
 public:
  using ERegistryFileError::ERegistryFileError;
};

// Parses a REGEDIT4 text. Throws ERegistryParseError naming the line at fault.
TRegDocument ParseRegistryText(std::string_view text);
// Applies a parsed text to a store: sections in order, later values replacing earlier ones.
void ApplyRegistryDocument(TRegStore& store, const TRegDocument& document);
TRegStore ParseRegistryStore(std::string_view text);
// Writes the store as a REGEDIT4 text that ParseRegistryStore reads back unchanged.
std::string FormatRegistryStore(const TRegStore& store);
// One value as it stands in the file after its name and "=", e.g. dword:00000002.
std::string FormatRegistryData(const TRegValue& value);

// $BRINDLECAP_REGISTRY, else $XDG_CONFIG_HOME/brindlecap/registry.reg, else
// ~/.config/brindlecap/registry.reg.
std::string RegistryFilePath();

// Reads the store file. A missing file is an empty store. Throws ERegistryFileError when the
// file cannot be read, ERegistryParseError when it cannot be parsed.
TRegStore LoadRegistryFile(const std::string& path);

// The readers' view: a file that cannot be read or parsed counts as an empty store (every key
// missing), and its error goes to the error hook once, not at every read.
TRegStore ReadRegistryForLookup(const std::string& path);

// Where the readers' errors go; the proxy routes them into its log. Without a hook they go to
// standard error. Passing an empty function restores that.
using TRegistryErrorHook = std::function<void(const std::string& message)>;
void SetRegistryErrorHook(TRegistryErrorHook hook);
// Forgets which errors were reported, so the next one is reported again.
void ResetRegistryErrorReports();

// Writes the store to a temporary file beside `path` and renames it over `path`, creating the
// folder when needed. Throws ERegistryFileError, leaving the old file as it was, also for a
// store that would not read back as it is (a name with a line break, a key without a root).
void SaveRegistryFile(const std::string& path, const TRegStore& store);

// Hands a message to the error hook (or standard error), e.g. a failed write of a reader that
// has no other way to say why.
void ReportRegistryError(const std::string& message);

// Writes `content` to a temporary file beside `path` and renames it over `path`, creating the
// folder when needed; a replaced file keeps its permissions. Throws ERegistryFileError and
// then leaves the old file as it was. Used for the store and for any other file that a
// running proxy may read at the same moment.
void ReplaceFileAtomically(const std::string& path, std::string_view content);

// Read, change, write under an exclusive lock on `path`.lock, so that two writers never lose
// each other's changes. `change` returns false to leave the file untouched; the result tells
// whether the file was written. A file that cannot be parsed is never overwritten, since that
// would lose every setting in it: it throws ERegistryFileError before `change` runs, unless
// `replaceBrokenFile` says the change starts from an empty store on purpose.
bool ModifyRegistryFile(const std::string& path, const std::function<bool(TRegStore&)>& change,
                        bool replaceBrokenFile = false);
