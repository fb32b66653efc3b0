#include "config/settings_edit.h"

#include <cstdio>

#include "app/registry_access.h"
#include "config/port_settings.h"
#include "platform/ascii_text.h"

namespace {

// The settings the proxy reads as numbers, and the one it reads as text.
constexpr std::string_view kIntegerSettings[] = {"Aktion",
                                                 "CheckBox_CheckAttach_Skripte",
                                                 "CheckBox_CheckAttach_EXEs",
                                                 "CheckBox_CheckAttach_Other",
                                                 "CheckBox_SendError",
                                                 "StrictAttachmentNames"};
constexpr std::string_view kTextSetting = "Others";
constexpr std::string_view kGroupSwitches[] = {
    "CheckBox_CheckAttach_Skripte", "CheckBox_CheckAttach_EXEs", "CheckBox_CheckAttach_Other"};
constexpr std::size_t kMaxTextBinary = 1023;

bool IsIntegerSetting(std::string_view name) {
  for (std::string_view known : kIntegerSettings)
    if (ascii::EqualsNoCase(known, name)) return true;
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii::LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::uint32_t ParseIntegerArgument(std::string_view text) {
  const std::string bad = "'" + std::string(text) +
                          "' is not an integer (decimal from -2147483648 to 4294967295, or 0x "
                          "and up to 8 hexadecimal digits)";
  if (text.size() > 2 && text[0] == '0' && ascii::LowerAscii(text[1]) == 'x') {
    std::string_view digits = text.substr(2);
    if (digits.size() > 8) throw EConfigError(bad);
    std::uint32_t value = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) throw EConfigError(bad);
      value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return value;
  }
  std::size_t pos = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative || (!text.empty() && text[0] == '+')) pos = 1;
  if (pos == text.size()) throw EConfigError(bad);
  std::int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < '0' || text[pos] > '9') throw EConfigError(bad);
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > 4294967295LL) throw EConfigError(bad);
  }
  if (negative && magnitude > 2147483648LL) throw EConfigError(bad);
  return static_cast<std::uint32_t>(negative ? -magnitude : magnitude);
}

std::string ParseBinaryArgument(std::string_view text) {
  std::string bytes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ',' || text[pos] == ' ' || text[pos] == '\t') {
      ++pos;
      continue;
    }
    std::size_t end = text.find_first_of(", \t", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(pos, end - pos);
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0)
      throw EConfigError("'" + std::string(item) +
                         "' is not a byte; binary data is written as two-digit hexadecimal "
                         "bytes such as 01,00,00,00");
    bytes += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
    pos = end;
  }
  return bytes;
}

std::string HexList(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<unsigned char>(bytes[i]));
    out += buf;
  }
  return out;
}

std::string QuotedForDisplay(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

EConfigError BrokenStore(const std::string& registryPath, const ERegistryFileError& e) {
  return EConfigError(std::string(e.what()) +
                      ". Nothing was changed. Mend the file by hand, or replace it with "
                      "'brindlecap-config import --replace FILE'. (" +
                      registryPath + ")");
}

// Runs a change under the writer lock, turning store errors into the user's words.
bool Modify(const std::string& registryPath, const std::function<bool(TRegStore&)>& change,
            bool replaceBroken = false) {
  try {
    return ModifyRegistryFile(registryPath, change, replaceBroken);
  } catch (const ERegistryParseError& e) {
    throw BrokenStore(registryPath, e);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) + ". Nothing was changed.");
  }
}

}  // namespace

std::string SettingsKeyFullPath() {
  return std::string(HKEY_LOCAL_MACHINE.name) + "\\" + std::string(kSettingsKeyPath);
}

std::vector<TRegValue> ListSettings(const std::string& registryPath) {
  try {
    TRegStore store = LoadRegistryFile(registryPath);
    const TRegKey* key = store.FindKey(SettingsKeyFullPath());
    return key ? key->values : std::vector<TRegValue>{};
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) +
                       ". The proxy ignores this file and uses its defaults until it is mended.");
  }
}

TRegValue ParseSettingArgument(std::string name, std::string_view type, std::string_view text) {
  if (name.empty()) throw EConfigError("a value needs a name");
  if (name.find_first_of("\r\n") != std::string::npos)
    throw EConfigError("a value name cannot hold a line break");
  if (type == "integer" || type == "dword")
    return TRegValue::MakeInteger(std::move(name), ParseIntegerArgument(text));
  if (type == "string") return TRegValue::MakeString(std::move(name), std::string(text));
  if (type == "expand" || type == "expand-string")
    return TRegValue::MakeExpandString(std::move(name), text);
  if (type == "binary" || type == "hex")
    return TRegValue::MakeBinary(std::move(name), ParseBinaryArgument(text));
  throw EConfigError("'" + std::string(type) +
                     "' is not a value type; use integer, string, expand or binary");
}

void CheckSettingReadable(const TRegValue& value) {
  if (IsPortSetting(value.name) && !PortOfValue(value))
    throw EConfigError(value.name + " must be a port number from 1 to 65535, not " +
                       SettingDataText(value) + "; the proxy would ignore it");
  if (IsIntegerSetting(value.name)) {
    switch (value.type) {
      case TRegValueType::Integer:
        return;
      case TRegValueType::String:
      case TRegValueType::ExpandString:
        try {
          RegTextToInteger(value.Text());
          return;
        } catch (const ERegConvertError&) {
          throw EConfigError(value.name + " is read as a number, and " +
                             QuotedForDisplay(value.Text()) +
                             " is not a decimal integer; the proxy could not check any mail");
        }
      case TRegValueType::Binary:
        if (value.bytes.size() <= 4) return;
        throw EConfigError(value.name +
                           " is read as a number, and a binary value of more than 4 bytes "
                           "cannot be one; the proxy could not check any mail");
      case TRegValueType::Other:
        break;
    }
    throw EConfigError(value.name + " is read as a number and cannot be of type " +
                       SettingTypeName(value));
  }
  if (ascii::EqualsNoCase(value.name, kTextSetting)) {
    if (value.type == TRegValueType::Other)
      throw EConfigError(value.name + " is read as text and cannot be of type " +
                         SettingTypeName(value));
    if (value.type == TRegValueType::Binary && value.bytes.size() > kMaxTextBinary)
      throw EConfigError(value.name + " as binary data may hold at most " +
                         std::to_string(kMaxTextBinary) +
                         " bytes; a longer block is read as an empty list");
  }
}

void SetSetting(const std::string& registryPath, const TRegValue& value) {
  CheckSettingReadable(value);
  Modify(registryPath, [&](TRegStore& store) {
    store.OpenKey(SettingsKeyFullPath()).SetValue(value);
    return true;
  });
}

void DeleteSetting(const std::string& registryPath, std::string_view name) {
  bool found = false;
  Modify(registryPath, [&](TRegStore& store) {
    TRegKey* key = store.FindKey(SettingsKeyFullPath());
    found = key && key->DeleteValue(name);
    return found;
  });
  if (!found) throw EConfigError("there is no value named " + QuotedForDisplay(name));
}

void ImportSettings(const std::string& registryPath, std::string_view regText, bool replace) {
  TRegDocument document;
  try {
    document = ParseRegistryText(regText);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string("not a REGEDIT4 file: ") + e.what());
  }
  if (document.empty() && !replace) throw EConfigError("the file holds no key to import");
  for (const TRegSection& section : document) {
    if (!ascii::EqualsNoCase(section.path, SettingsKeyFullPath())) continue;
    for (const TRegSection::Entry& entry : section.entries)
      if (entry.value) CheckSettingReadable(*entry.value);
  }
  Modify(
      registryPath,
      [&](TRegStore& store) {
        if (replace) store = TRegStore{};
        ApplyRegistryDocument(store, document);
        return true;
      },
      replace);
}

std::string ExportSettings(const std::string& registryPath) {
  try {
    return FormatRegistryStore(LoadRegistryFile(registryPath));
  } catch (const ERegistryFileError& e) {
    throw EConfigError(e.what());
  }
}

std::vector<std::string> SettingNotes(const std::vector<TRegValue>& values) {
  std::vector<std::string> notes;
  for (std::string_view group : kGroupSwitches) {
    const TRegValue* longer = nullptr;
    bool exact = false;
    for (const TRegValue& v : values) {
      if (ascii::EqualsNoCase(v.name, group))
        exact = true;
      else if (v.name.size() > group.size() &&
               ascii::EqualsNoCase(v.name.substr(0, group.size()), group))
        longer = &v;
    }
    if (longer && !exact)
      notes.push_back(std::string(group) + " is missing, but the name of " + longer->name +
                      " begins with it, so the proxy turns that group off");
  }
  return notes;
}

std::string SettingTypeName(const TRegValue& value) {
  switch (value.type) {
    case TRegValueType::Integer:
      return "integer";
    case TRegValueType::String:
      return "string";
    case TRegValueType::ExpandString:
      return "expand";
    case TRegValueType::Binary:
      return "binary";
    case TRegValueType::Other:
      break;
  }
  char buf[24];
  std::snprintf(buf, sizeof buf, "hex(%x)", value.otherCode);
  return buf;
}

std::string SettingDataText(const TRegValue& value) {
  switch (value.type) {
    case TRegValueType::Integer:
      return std::to_string(static_cast<std::int32_t>(value.integer));
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      return QuotedForDisplay(value.Text());
    case TRegValueType::Binary:
    case TRegValueType::Other:
      break;
  }
  return value.bytes.empty() ? "(no bytes)" : HexList(value.bytes);
}
