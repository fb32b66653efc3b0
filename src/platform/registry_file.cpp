#include "platform/registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/line_splitter.h"
#include "platform/system_error_text.h"
#include "platform/unique_fd.h"

namespace {

// A settings file is a few hundred bytes; anything this large is not one, and reading it at
// every lookup would stall the proxy.
constexpr std::size_t kMaxFileSize = 16u << 20;
constexpr std::string_view kHeader = "REGEDIT4";

using ascii::EqualsNoCase;
using ascii::LowerAscii;
using ascii::StartsWithNoCase;
using ascii::Trim;
using ascii::TrimLeft;
using ascii::TrimRight;

// Blanks and backslashes around a path, in any mix, are no part of it. Stripping them together
// keeps a normalised path unchanged when it is normalised again, as it is when the written
// file is read back: "[HKEY_A \\ \\]" would otherwise leave "HKEY_A " here and "HKEY_A" there.
std::string_view NormalizeKeyPath(std::string_view path) {
  auto outer = [](char c) { return ascii::IsTrimmed(c, ascii::TTrimSet::tsBlanks) || c == '\\'; };
  while (!path.empty() && outer(path.front())) path.remove_prefix(1);
  while (!path.empty() && outer(path.back())) path.remove_suffix(1);
  return path;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Splits at CR LF, CR or LF and counts lines for the error messages.
class TLineReader {
 public:
  explicit TLineReader(std::string_view text) : lines_(text, TLineEnds::leAny) {}
  bool Next(std::string_view& line) {
    if (!lines_.Next(line)) return false;
    ++number_;
    return true;
  }
  int Number() const { return number_; }

 private:
  TLineSplitter lines_;
  int number_ = 0;
};

class TParser {
 public:
  explicit TParser(std::string_view text) : lines_(text) {}

  TRegDocument Parse() {
    TRegDocument document;
    std::string_view line;
    bool headerSeen = false;
    while (lines_.Next(line)) {
      std::string_view trimmed = Trim(line);
      if (!headerSeen) {
        if (trimmed.empty()) continue;
        if (trimmed != kHeader) Fail("the file does not begin with the line REGEDIT4");
        headerSeen = true;
        continue;
      }
      if (trimmed.empty() || trimmed.front() == ';') continue;
      if (trimmed.front() == '[') {
        document.push_back(ParseSectionLine(trimmed));
      } else if (trimmed.front() == '"' || trimmed.front() == '@') {
        if (document.empty()) Fail("a value stands before the first [key] line");
        if (document.back().deleteKey) Fail("a value stands under a key that is to be deleted");
        document.back().entries.push_back(ParseValueLine(trimmed));
      } else {
        Fail("a line that is neither a [key] nor a \"name\"=value");
      }
    }
    return document;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ERegistryParseError("line " + std::to_string(lines_.Number()) + ": " + what);
  }

  TRegSection ParseSectionLine(std::string_view line) {
    std::size_t close = line.rfind(']');
    if (close == std::string_view::npos) Fail("a [key] line without its closing bracket");
    if (!Trim(line.substr(close + 1)).empty()) Fail("text after the closing bracket of a key");
    std::string_view inner = line.substr(1, close - 1);
    TRegSection section;
    if (!inner.empty() && inner.front() == '-') {
      section.deleteKey = true;
      inner.remove_prefix(1);
    }
    std::string_view path = NormalizeKeyPath(inner);
    if (path.empty()) Fail("an empty key path");
    if (!StartsWithNoCase(path, "HKEY_"))
      Fail("a key path that does not begin with a root such as HKEY_LOCAL_MACHINE");
    section.path = std::string(path);
    return section;
  }

  // A quoted text from `pos` (just after the opening quote) to its closing quote. Only \\ and
  // \" are escapes; any other backslash stands for itself, as hand-written paths often have.
  std::string ParseQuoted(std::string_view line, std::size_t& pos, const char* what) {
    std::string out;
    while (pos < line.size()) {
      char c = line[pos++];
      if (c == '"') return out;
      if (c == '\\' && pos < line.size() && (line[pos] == '\\' || line[pos] == '"'))
        c = line[pos++];
      out += c;
    }
    Fail(std::string("an unterminated ") + what);
  }

  TRegSection::Entry ParseValueLine(std::string_view line) {
    TRegSection::Entry entry;
    std::size_t pos = 1;
    if (line.front() == '"') entry.name = ParseQuoted(line, pos, "value name");
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') Fail("a value name not followed by =");
    rest = TrimLeft(rest.substr(1));
    if (rest == "-") return entry;
    entry.value = ParseData(entry.name, rest);
    return entry;
  }

  TRegValue ParseData(const std::string& name, std::string_view data) {
    if (!data.empty() && data.front() == '"') {
      std::size_t pos = 1;
      std::string text = ParseQuoted(data, pos, "string value");
      if (!Trim(data.substr(pos)).empty()) Fail("text after the closing quote of a string value");
      return TRegValue::MakeString(name, std::move(text));
    }
    if (StartsWithNoCase(data, "dword:")) return ParseDword(name, Trim(data.substr(6)));
    if (StartsWithNoCase(data, "hex")) return ParseHex(name, data.substr(3));
    Fail("a value of unknown type (expected \"text\", dword:, hex: or hex(N):)");
  }

  TRegValue ParseDword(const std::string& name, std::string_view digits) {
    if (digits.empty() || digits.size() > 8) Fail("dword: needs 1 to 8 hexadecimal digits");
    std::uint32_t value = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) Fail("dword: needs 1 to 8 hexadecimal digits");
      value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return TRegValue::MakeInteger(name, value);
  }

  TRegValue ParseHex(const std::string& name, std::string_view rest) {
    TRegValue value;
    value.name = name;
    value.type = TRegValueType::Binary;
    if (!rest.empty() && rest.front() == '(') {
      std::size_t close = rest.find(')');
      std::string_view code = rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
      if (close == std::string_view::npos || code.empty() || code.size() > 8)
        Fail("hex( without a type number and its closing bracket");
      unsigned number = 0;
      for (char c : code) {
        int d = HexDigit(c);
        if (d < 0) Fail("hex( without a type number and its closing bracket");
        number = number << 4 | static_cast<unsigned>(d);
      }
      rest.remove_prefix(close + 1);
      if (number == 1)
        value.type = TRegValueType::String;
      else if (number == 2)
        value.type = TRegValueType::ExpandString;
      else if (number != 3) {
        value.type = TRegValueType::Other;
        value.otherCode = number;
      }
    }
    if (rest.empty() || rest.front() != ':') Fail("hex data without its colon");
    value.bytes = ParseHexBytes(JoinContinuedLines(rest.substr(1)));
    if (value.type == TRegValueType::String && !value.bytes.empty() && value.bytes.back() == '\0')
      value.bytes.pop_back();
    return value;
  }

  // Long hex data goes on over several lines, each but the last ending in a backslash.
  std::string JoinContinuedLines(std::string_view first) {
    std::string data;
    std::string_view part = TrimRight(first);
    while (!part.empty() && part.back() == '\\') {
      part.remove_suffix(1);
      data += part;
      std::string_view next;
      if (!lines_.Next(next)) Fail("hex data continued past the end of the file");
      part = TrimRight(TrimLeft(next));
    }
    data += part;
    return data;
  }

  std::string ParseHexBytes(std::string_view data) {
    std::string bytes;
    data = Trim(data);
    while (!data.empty()) {
      std::size_t comma = data.find(',');
      std::string_view item = Trim(data.substr(0, comma));
      if (item.empty() || item.size() > 2) Fail("hex data must be two-digit bytes separated by ,");
      int value = 0;
      for (char c : item) {
        int d = HexDigit(c);
        if (d < 0) Fail("hex data must be two-digit bytes separated by ,");
        value = value * 16 + d;
      }
      bytes += static_cast<char>(value);
      if (comma == std::string_view::npos) break;
      data = Trim(data.substr(comma + 1));
    }
    return bytes;
  }

  TLineReader lines_;
};

std::string QuoteText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// Hex bytes as the system's export writes them: lines kept under 80 columns, each continued
// line ending in a backslash and the next indented by two blanks. `column` is where the data
// starts on the first line.
std::string FormatHexBytes(std::string_view bytes, std::size_t column) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string piece;
    auto b = static_cast<unsigned char>(bytes[i]);
    piece += digits[b >> 4];
    piece += digits[b & 15];
    if (i + 1 < bytes.size()) piece += ',';
    if (i > 0 && column + piece.size() > 77) {
      out += "\\\n  ";
      column = 2;
    }
    out += piece;
    column += piece.size();
  }
  return out;
}

std::string HexPrefix(const TRegValue& value) {
  switch (value.type) {
    case TRegValueType::String:
      return "hex(1):";
    case TRegValueType::ExpandString:
      return "hex(2):";
    case TRegValueType::Other: {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", value.otherCode);
      return buf;
    }
    default:
      return "hex:";
  }
}

std::string FormatName(const std::string& name) {
  return name.empty() ? "@" : QuoteText(name);
}

std::string FormatData(const TRegValue& value, std::size_t column) {
  if (value.type == TRegValueType::Integer) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", value.integer);
    return buf;
  }
  if (value.type == TRegValueType::String) {
    // A quoted string cannot hold a line break or a zero byte; such a text goes out as hex(1)
    // bytes with the terminating zero the reader strips again.
    if (value.bytes.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos)
      return QuoteText(value.bytes);
    std::string prefix = HexPrefix(value);
    return prefix + FormatHexBytes(value.bytes + '\0', column + prefix.size());
  }
  std::string prefix = HexPrefix(value);
  return prefix + FormatHexBytes(value.bytes, column + prefix.size());
}

struct TErrorReports {
  std::mutex mutex;
  TRegistryErrorHook hook;
  std::map<std::string, std::string> lastReported;  // path -> error last reported for it
};

TErrorReports& ErrorReports() {
  static TErrorReports reports;
  return reports;
}

void WriteAll(int fd, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw ERegistryFileError(SystemErrorText("cannot write", path, n < 0 ? errno : EIO));
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

void CreateParentFolder(const std::string& path) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (ec)
    throw ERegistryFileError("cannot create the folder " + parent.string() + ": " + ec.message());
}

// The process's file-creation mask, read without changing it: setting it to learn it would
// race with any other thread creating a file at that moment.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// A replaced file keeps its permissions; a new one gets what any newly created file would.
mode_t NewFileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  return 0666 & ~CurrentUmask();
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// A key while a text is applied to it. Values are found by name through an index, so that a
// file of many values is read in linear time; deleted values leave a gap until the end.
struct TKeyBuilder {
  std::size_t order = 0;
  std::string path;
  std::vector<std::optional<TRegValue>> slots;
  std::unordered_map<std::string, std::size_t> byName;  // lower-cased name -> slot

  void Set(TRegValue value) {
    std::string lower = LowerCase(value.name);
    if (auto it = byName.find(lower); it != byName.end()) {
      value.name = slots[it->second]->name;
      slots[it->second] = std::move(value);
      return;
    }
    byName.emplace(std::move(lower), slots.size());
    slots.push_back(std::move(value));
  }
  void Delete(std::string_view name) {
    if (auto it = byName.find(LowerCase(name)); it != byName.end()) {
      slots[it->second].reset();
      byName.erase(it);
    }
  }
};

// The keys while a text is applied, ordered by lower-cased path: a key's subkeys are then the
// range of paths that begin with its path and a backslash.
class TStoreBuilder {
 public:
  explicit TStoreBuilder(TRegStore& store) {
    for (TRegKey& key : store.keys) {
      TKeyBuilder& built = OpenKey(key.path);
      for (TRegValue& value : key.values) built.Set(std::move(value));
    }
  }
  TKeyBuilder& OpenKey(std::string_view path) {
    path = NormalizeKeyPath(path);
    auto [it, inserted] = keys_.try_emplace(LowerCase(path));
    if (inserted) {
      it->second.order = nextOrder_++;
      it->second.path = std::string(path);
    }
    return it->second;
  }
  void DeleteKey(std::string_view path) {
    std::string lower = LowerCase(NormalizeKeyPath(path));
    keys_.erase(lower);
    // '\\' + 1 is ']', so this range holds exactly the paths below `lower`.
    keys_.erase(keys_.lower_bound(lower + '\\'), keys_.lower_bound(lower + ']'));
  }
  TRegStore Finish() {
    std::vector<TKeyBuilder*> ordered;
    for (auto& [lower, key] : keys_) ordered.push_back(&key);
    std::sort(ordered.begin(), ordered.end(),
              [](const TKeyBuilder* a, const TKeyBuilder* b) { return a->order < b->order; });
    TRegStore store;
    for (TKeyBuilder* key : ordered) {
      TRegKey& out = store.keys.emplace_back(TRegKey{std::move(key->path), {}});
      for (std::optional<TRegValue>& slot : key->slots)
        if (slot) out.values.push_back(std::move(*slot));
    }
    return store;
  }

 private:
  std::map<std::string, TKeyBuilder> keys_;
  std::size_t nextOrder_ = 0;
};

}  // namespace

TRegValue TRegValue::MakeInteger(std::string name, std::uint32_t value) {
  TRegValue v;
  v.name = std::move(name);
  v.type = TRegValueType::Integer;
  v.integer = value;
  return v;
}

TRegValue TRegValue::MakeString(std::string name, std::string text) {
  TRegValue v;
  v.name = std::move(name);
  v.type = TRegValueType::String;
  v.bytes = std::move(text);
  return v;
}

TRegValue TRegValue::MakeExpandString(std::string name, std::string_view text) {
  TRegValue v;
  v.name = std::move(name);
  v.type = TRegValueType::ExpandString;
  v.bytes = std::string(text) + '\0';
  return v;
}

TRegValue TRegValue::MakeBinary(std::string name, std::string bytes) {
  TRegValue v;
  v.name = std::move(name);
  v.type = TRegValueType::Binary;
  v.bytes = std::move(bytes);
  return v;
}

std::string TRegValue::Text() const {
  return bytes.substr(0, bytes.find('\0'));
}

const TRegValue* TRegKey::FindValue(std::string_view name) const {
  for (const TRegValue& v : values)
    if (EqualsNoCase(v.name, name)) return &v;
  return nullptr;
}

TRegValue* TRegKey::FindValue(std::string_view name) {
  return const_cast<TRegValue*>(std::as_const(*this).FindValue(name));
}

void TRegKey::SetValue(TRegValue value) {
  if (TRegValue* existing = FindValue(value.name)) {
    // The stored name keeps its spelling, as the system keeps it when a value is rewritten.
    value.name = existing->name;
    *existing = std::move(value);
  } else {
    values.push_back(std::move(value));
  }
}

bool TRegKey::DeleteValue(std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualsNoCase(it->name, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

const TRegKey* TRegStore::FindKey(std::string_view path) const {
  path = NormalizeKeyPath(path);
  for (const TRegKey& k : keys)
    if (EqualsNoCase(k.path, path)) return &k;
  return nullptr;
}

TRegKey* TRegStore::FindKey(std::string_view path) {
  return const_cast<TRegKey*>(std::as_const(*this).FindKey(path));
}

TRegKey& TRegStore::OpenKey(std::string_view path) {
  if (TRegKey* existing = FindKey(path)) return *existing;
  keys.push_back(TRegKey{std::string(NormalizeKeyPath(path)), {}});
  return keys.back();
}

bool TRegStore::DeleteKey(std::string_view path) {
  path = NormalizeKeyPath(path);
  std::size_t before = keys.size();
  std::erase_if(keys, [&](const TRegKey& k) {
    return EqualsNoCase(k.path, path) ||
           (k.path.size() > path.size() && k.path[path.size()] == '\\' &&
            StartsWithNoCase(k.path, path));
  });
  return keys.size() != before;
}

TRegDocument ParseRegistryText(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return TParser(text).Parse();
}

void ApplyRegistryDocument(TRegStore& store, const TRegDocument& document) {
  TStoreBuilder builder(store);
  for (const TRegSection& section : document) {
    if (section.deleteKey) {
      builder.DeleteKey(section.path);
      continue;
    }
    TKeyBuilder& key = builder.OpenKey(section.path);
    for (const TRegSection::Entry& entry : section.entries) {
      if (entry.value) {
        key.Set(*entry.value);
      } else {
        key.Delete(entry.name);
      }
    }
  }
  store = builder.Finish();
}

TRegStore ParseRegistryStore(std::string_view text) {
  TRegStore store;
  ApplyRegistryDocument(store, ParseRegistryText(text));
  return store;
}

std::string FormatRegistryData(const TRegValue& value) {
  return FormatData(value, FormatName(value.name).size() + 1);
}

std::string FormatRegistryStore(const TRegStore& store) {
  std::string out = std::string(kHeader) + "\n\n";
  for (const TRegKey& key : store.keys) {
    out += "[" + key.path + "]\n";
    for (const TRegValue& value : key.values) {
      std::string name = FormatName(value.name);
      out += name + "=" + FormatData(value, name.size() + 1) + "\n";
    }
    out += "\n";
  }
  return out;
}

std::string RegistryFilePath() {
  const char* explicitPath = std::getenv("BRINDLECAP_REGISTRY");
  if (explicitPath && *explicitPath) return explicitPath;
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome && configHome[0] == '/')
    return std::string(configHome) + "/brindlecap/registry.reg";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  } else {
    home = ".";
  }
  return home + "/.config/brindlecap/registry.reg";
}

TRegStore LoadRegistryFile(const std::string& path) {
  TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return {};
    throw ERegistryFileError(SystemErrorText("cannot open the registry file", path, errno));
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0)
    throw ERegistryFileError(SystemErrorText("cannot read the registry file", path, errno));
  if (!S_ISREG(st.st_mode))
    throw ERegistryFileError("the registry file " + path + " is not a plain file");
  if (static_cast<std::size_t>(st.st_size) > kMaxFileSize)
    throw ERegistryParseError("the registry file " + path + " is too large to be a settings file");
  std::string text;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw ERegistryFileError(SystemErrorText("cannot read the registry file", path, errno));
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileSize)
      throw ERegistryParseError("the registry file " + path +
                                " is too large to be a settings file");
  }
  try {
    return ParseRegistryStore(text);
  } catch (const ERegistryParseError& e) {
    throw ERegistryParseError("the registry file " + path + " cannot be read, " + e.what());
  }
}

TRegStore ReadRegistryForLookup(const std::string& path) {
  TErrorReports& reports = ErrorReports();
  try {
    TRegStore store = LoadRegistryFile(path);
    std::lock_guard lock(reports.mutex);
    reports.lastReported.erase(path);
    return store;
  } catch (const ERegistryFileError& e) {
    {
      std::lock_guard lock(reports.mutex);
      std::string& last = reports.lastReported[path];
      if (last == e.what()) return {};
      last = e.what();
    }
    ReportRegistryError(std::string(e.what()) + "; its settings are ignored until it is mended");
    return {};
  }
}

void SetRegistryErrorHook(TRegistryErrorHook hook) {
  std::lock_guard lock(ErrorReports().mutex);
  ErrorReports().hook = std::move(hook);
}

void ReportRegistryError(const std::string& message) {
  TRegistryErrorHook hook;
  {
    std::lock_guard lock(ErrorReports().mutex);
    hook = ErrorReports().hook;
  }
  if (hook) {
    hook(message);
  } else {
    std::cerr << message << std::endl;
  }
}

void ResetRegistryErrorReports() {
  std::lock_guard lock(ErrorReports().mutex);
  ErrorReports().lastReported.clear();
}

void ReplaceFileAtomically(const std::string& requestedPath, std::string_view content) {
  // Through a symbolic link the file it points to is replaced, not the link.
  std::string path = requestedPath;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (!ec) path = target.string();
  }
  CreateParentFolder(path);
  std::filesystem::path target(path);
  std::string temp =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  TUniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.Get() < 0)
    throw ERegistryFileError(SystemErrorText("cannot create a file beside", path, errno));
  try {
    WriteAll(fd.Get(), content, temp);
    if (::fchmod(fd.Get(), NewFileMode(path)) != 0 || ::fsync(fd.Get()) != 0)
      throw ERegistryFileError(SystemErrorText("cannot write", temp, errno));
    if (fd.Close() != 0) throw ERegistryFileError(SystemErrorText("cannot write", temp, errno));
    if (::rename(temp.c_str(), path.c_str()) != 0)
      throw ERegistryFileError(SystemErrorText("cannot replace", path, errno));
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

void SaveRegistryFile(const std::string& path, const TRegStore& store) {
  std::string text = FormatRegistryStore(store);
  // A name with a line break, or a key outside any root, has no REGEDIT4 form; writing it
  // would leave a file that every reader rejects, so it is refused before the file is touched.
  bool readsBack = false;
  try {
    readsBack = ParseRegistryStore(text) == store;
  } catch (const ERegistryParseError&) {
  }
  if (!readsBack)
    throw ERegistryFileError("these settings cannot be written to " + path +
                             ": a key or value name holds a line break, or a key has no root");
  ReplaceFileAtomically(path, text);
}

bool ModifyRegistryFile(const std::string& path, const std::function<bool(TRegStore&)>& change,
                        bool replaceBrokenFile) {
  CreateParentFolder(path);
  std::string lockPath = path + ".lock";
  TUniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.Get() < 0)
    throw ERegistryFileError(SystemErrorText("cannot open the lock file", lockPath, errno));
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw ERegistryFileError(SystemErrorText("cannot lock", lockPath, errno));
  }
  TRegStore store;
  try {
    store = LoadRegistryFile(path);
  } catch (const ERegistryParseError&) {
    if (!replaceBrokenFile) throw;
  }
  if (!change(store)) return false;
  SaveRegistryFile(path, store);
  return true;
}
