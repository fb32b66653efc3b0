#include "config/window/config_choices.h"

#include <cstdint>

#include "app/registry_access.h"
#include "config/autostart.h"
#include "config/port_settings.h"
#include "config/service_settings.h"
#include "config/settings_edit.h"

namespace {

constexpr const char* kAction = "Aktion";
constexpr const char* kOthers = "Others";
constexpr const char* kSendError = "CheckBox_SendError";
constexpr const char* kStrictNames = "StrictAttachmentNames";
constexpr std::size_t kMaxBinaryText = 1023;

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoreCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

// A value read as a number, as the proxy reads it; nullopt when the proxy could not.
std::optional<std::int32_t> IntegerOf(const TRegValue& value) {
  switch (value.type) {
    case TRegValueType::Integer:
      return static_cast<std::int32_t>(value.integer);
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      try {
        return RegTextToInteger(value.Text());
      } catch (const ERegConvertError&) {
        return std::nullopt;
      }
    case TRegValueType::Binary: {
      if (value.bytes.size() > 4) return std::nullopt;
      std::uint32_t result = 0;
      for (std::size_t i = 0; i < value.bytes.size(); ++i) {
        result |= static_cast<std::uint32_t>(static_cast<unsigned char>(value.bytes[i])) << (8 * i);
      }
      return static_cast<std::int32_t>(result);
    }
    case TRegValueType::Other:
      break;
  }
  return std::nullopt;
}

// A value read as text, as the proxy reads it.
std::string TextOf(const TRegValue& value) {
  switch (value.type) {
    case TRegValueType::Integer:
      return RegIntegerText(static_cast<std::int32_t>(value.integer));
    case TRegValueType::String:
    case TRegValueType::ExpandString:
      return value.Text();
    case TRegValueType::Binary:
      return value.bytes.size() <= kMaxBinaryText ? value.bytes : std::string();
    case TRegValueType::Other:
      break;
  }
  return {};
}

const TRegValue* Find(const std::vector<TRegValue>& values, std::string_view name) {
  for (const TRegValue& v : values) {
    if (v.name.size() == name.size() && StartsWithIgnoreCase(v.name, name)) return &v;
  }
  return nullptr;
}

std::string Unreadable(const TRegValue& v, const char* readAs) {
  return v.name + " (" + SettingTypeName(v) + " " + SettingDataText(v) + ") cannot be read as " +
         readAs + "; the proxy stops at it and checks no mail until it is changed";
}

void ReadSettings(const std::vector<TRegValue>& values, TConfigReading& r) {
  TConfigChoices& c = r.choices;
  // What to do with a blocked mail: missing or 0 counts as 1.
  c.action = TBlockAction::Rename;
  if (const TRegValue* v = Find(values, kAction)) {
    std::optional<std::int32_t> n = IntegerOf(*v);
    if (!n) {
      c.action.reset();
      r.notes.push_back(Unreadable(*v, "a number"));
    } else if (*n == 2) {
      c.action = TBlockAction::Delete;
    } else if (*n != 0 && *n != 1) {
      c.action = TBlockAction::LogOnly;
    }
  }
  // A group is on unless a value's name begins with the switch's name and the value of
  // exactly that name reads as 0 (a missing one reads as 0 too).
  for (int g = 0; g < 3; ++g) {
    const char* name = GroupSwitchName(static_cast<TBlockGroup>(g));
    bool prefixed = false;
    for (const TRegValue& v : values) prefixed = prefixed || StartsWithIgnoreCase(v.name, name);
    c.groups[static_cast<size_t>(g)] = true;
    if (!prefixed) continue;
    const TRegValue* v = Find(values, name);
    if (!v) {
      c.groups[static_cast<size_t>(g)] = false;
      continue;
    }
    std::optional<std::int32_t> n = IntegerOf(*v);
    if (!n) {
      c.groups[static_cast<size_t>(g)].reset();
      r.notes.push_back(Unreadable(*v, "a number"));
    } else {
      c.groups[static_cast<size_t>(g)] = *n != 0;
    }
  }
  if (const TRegValue* v = Find(values, kOthers)) {
    c.ownExtensions = TextOf(*v);
    if (v->type == TRegValueType::Binary && v->bytes.size() > kMaxBinaryText) {
      r.notes.push_back(std::string(kOthers) + " is a binary block of more than " +
                        std::to_string(kMaxBinaryText) +
                        " bytes, which the proxy reads as an empty list");
    } else if (v->type == TRegValueType::Other) {
      r.notes.push_back(std::string(kOthers) + " is of type " + SettingTypeName(*v) +
                        ", which the proxy reads as an empty list");
    }
  }
  c.sendReport = false;
  if (const TRegValue* v = Find(values, kSendError)) {
    std::optional<std::int32_t> n = IntegerOf(*v);
    if (!n) {
      c.sendReport.reset();
      r.notes.push_back(Unreadable(*v, "a number"));
    } else {
      c.sendReport = *n == 1;
    }
  }
  c.strictNames = false;
  if (const TRegValue* v = Find(values, kStrictNames)) {
    std::optional<std::int32_t> n = IntegerOf(*v);
    if (!n) {
      c.strictNames.reset();
      r.notes.push_back(Unreadable(*v, "a number"));
    } else {
      c.strictNames = *n == 1;
    }
  }
  for (TPortKind kind : {TPortKind::Listen, TPortKind::Upstream}) {
    const TRegValue* v = Find(values, PortSettingName(kind));
    std::optional<int> port = v ? PortOfValue(*v) : std::nullopt;
    if (v && !port)
      r.notes.push_back(v->name + " (" + SettingDataText(*v) +
                        ") is no port number; the proxy uses the standard port");
    (kind == TPortKind::Listen ? c.listenPort : c.upstreamPort) = port;
  }
  // Only the number 1 turns it on; anything else, unreadable values too, leaves it off.
  if (const TRegValue* v = Find(values, kListenAfterDropName)) {
    c.listenAfterDrop = IntegerOf(*v) == std::optional<std::int32_t>(1);
  }
  c.security = SecurityOfValues(values);
  if (const TRegValue* v = Find(values, kUpstreamSecurityName); v && !c.security)
    r.notes.push_back(v->name + " (" + SettingDataText(*v) +
                      ") is none of plain (0), stls (1), tls (2); the proxy refuses every login "
                      "until it is changed");
  c.caFile = CAFileOfValues(values);
  if (!c.caFile.empty()) {
    try {
      CAFileValue(c.caFile);
    } catch (const EConfigError& e) {
      r.notes.push_back(std::string(kUpstreamCAFileName) + ": " + e.what() +
                        ", so the proxy refuses every TLS login");
    }
  }
  for (std::string& note : SettingNotes(values)) r.notes.push_back(std::move(note));
}

TRegValue IntegerValue(const char* name, std::int32_t n) {
  return TRegValue::MakeInteger(name, static_cast<std::uint32_t>(n));
}

}  // namespace

const char* GroupSwitchName(TBlockGroup group) {
  switch (group) {
    case TBlockGroup::Scripts:
      return "CheckBox_CheckAttach_Skripte";
    case TBlockGroup::Programs:
      return "CheckBox_CheckAttach_EXEs";
    case TBlockGroup::Own:
      return "CheckBox_CheckAttach_Other";
  }
  return "";
}

TConfigReading ReadConfigChoices(const TConfigPlaces& places) {
  TConfigReading r;
  try {
    r.values = ListSettings(places.registryPath);
  } catch (const EConfigError& e) {
    r.storeReadable = false;
    r.notes.push_back(e.what());
  }
  ReadSettings(r.values, r);
  r.choices.autostart = AutostartEnabled(places.autostartPath);
  for (const TProgramTextInfo& info : ProgramTexts()) {
    try {
      r.choices.texts[static_cast<size_t>(info.kind)] = ReadProgramText(places, info.kind);
    } catch (const EConfigError& e) {
      r.notes.push_back(e.what());
    }
  }
  return r;
}

std::vector<std::string> WriteConfigChoices(const TConfigPlaces& places,
                                            const TConfigChoices& before,
                                            const TConfigChoices& after) {
  std::vector<TRegValue> changes;
  if (after.action && after.action != before.action) {
    changes.push_back(IntegerValue(kAction, static_cast<std::int32_t>(*after.action)));
  }
  for (size_t g = 0; g < 3; ++g) {
    if (after.groups[g] && after.groups[g] != before.groups[g]) {
      changes.push_back(
          IntegerValue(GroupSwitchName(static_cast<TBlockGroup>(g)), *after.groups[g] ? 1 : 0));
    }
  }
  if (after.ownExtensions != before.ownExtensions) {
    changes.push_back(TRegValue::MakeString(kOthers, after.ownExtensions));
  }
  if (after.sendReport && after.sendReport != before.sendReport) {
    changes.push_back(IntegerValue(kSendError, *after.sendReport ? 1 : 0));
  }
  if (after.strictNames && after.strictNames != before.strictNames) {
    changes.push_back(IntegerValue(kStrictNames, *after.strictNames ? 1 : 0));
  }
  std::vector<std::string> cleared;
  for (TPortKind kind : {TPortKind::Listen, TPortKind::Upstream}) {
    const auto& port = kind == TPortKind::Listen ? after.listenPort : after.upstreamPort;
    if (port == (kind == TPortKind::Listen ? before.listenPort : before.upstreamPort)) continue;
    if (port) {
      changes.push_back(IntegerValue(PortSettingName(kind), *port));
    } else {
      cleared.push_back(PortSettingName(kind));
    }
  }
  if (after.security && after.security != before.security)
    changes.push_back(SecurityValue(*after.security));
  if (after.caFile != before.caFile) {
    if (after.caFile.empty()) {
      cleared.push_back(kUpstreamCAFileName);
    } else {
      changes.push_back(CAFileValue(after.caFile));
    }
  }
  if (after.listenAfterDrop != before.listenAfterDrop) {
    changes.push_back(IntegerValue(kListenAfterDropName, after.listenAfterDrop ? 1 : 0));
  }
  // Everything is checked before anything is written.
  for (const TRegValue& v : changes) CheckSettingReadable(v);
  for (const TProgramTextInfo& info : ProgramTexts()) {
    const auto& text = after.texts[static_cast<size_t>(info.kind)];
    if (text && text != before.texts[static_cast<size_t>(info.kind)] &&
        text->find('\0') != std::string::npos) {
      throw EConfigError(std::string("the new ") + info.fileName +
                         " holds zero bytes; it must be a text file");
    }
  }

  std::vector<std::string> notes;
  if (!changes.empty() || !cleared.empty()) {
    try {
      ModifyRegistryFile(places.registryPath, [&](TRegStore& store) {
        TRegKey& key = store.OpenKey(SettingsKeyFullPath());
        for (const TRegValue& v : changes) key.SetValue(v);
        for (const std::string& name : cleared) key.DeleteValue(name);
        return true;
      });
    } catch (const ERegistryFileError& e) {
      throw EConfigError(std::string(e.what()) + ". Nothing was changed.");
    }
  }
  for (const TProgramTextInfo& info : ProgramTexts()) {
    const auto& text = after.texts[static_cast<size_t>(info.kind)];
    if (!text || text == before.texts[static_cast<size_t>(info.kind)]) continue;
    for (std::string& note : ReplaceProgramText(places, info.kind, *text)) {
      notes.push_back(std::move(note));
    }
  }
  if (after.autostart != before.autostart) {
    if (after.autostart) {
      EnableAutostart(places.autostartPath, places.programFolder + "/brindlecap");
    } else {
      DisableAutostart(places.autostartPath);
    }
  }
  return notes;
}
