#include "config/port_settings.h"

#include "app/registry_access.h"
#include "config/settings_edit.h"
#include "platform/ascii_text.h"

namespace {

// A port variable as the proxy reads it: decimal digits only, 0 to 65535.
std::optional<int> PortOfVariable(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  long number = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return std::nullopt;
    number = number * 10 + (*p - '0');
    if (number > 65535) return std::nullopt;
  }
  return static_cast<int>(number);
}

}  // namespace

const char* PortSettingName(TPortKind kind) {
  return kind == TPortKind::Listen ? "ListenPort" : "UpstreamPort";
}

const char* PortVariableName(TPortKind kind) {
  return kind == TPortKind::Listen ? "BRINDLECAP_LISTEN_PORT" : "BRINDLECAP_UPSTREAM_PORT";
}

int StandardPort(TPortKind kind) {
  return kind == TPortKind::Listen ? 111 : 110;
}

std::optional<TPortKind> FindPortKind(std::string_view word) {
  if (ascii::EqualsNoCase(word, "listen")) return TPortKind::Listen;
  if (ascii::EqualsNoCase(word, "upstream")) return TPortKind::Upstream;
  return std::nullopt;
}

bool IsPortSetting(std::string_view name) {
  return ascii::EqualsNoCase(name, PortSettingName(TPortKind::Listen)) ||
         ascii::EqualsNoCase(name, PortSettingName(TPortKind::Upstream));
}

std::optional<int> PortOfValue(const TRegValue& value) {
  TRegStore store;
  store.OpenKey(SettingsKeyFullPath()).SetValue(value);
  std::int32_t number = 0;
  try {
    number = RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, value.name);
  } catch (const ERegistryError&) {
    return std::nullopt;
  }
  if (number < 1 || number > 65535) return std::nullopt;
  return number;
}

std::optional<int> StoredPort(const std::string& registryPath, TPortKind kind) {
  for (const TRegValue& value : ListSettings(registryPath))
    if (ascii::EqualsNoCase(value.name, PortSettingName(kind))) return PortOfValue(value);
  return std::nullopt;
}

int ParsePortArgument(std::string_view text) {
  int number = 0;
  bool valid = !text.empty() && text.size() <= 5;
  for (char c : text) {
    valid = valid && c >= '0' && c <= '9';
    if (valid) number = number * 10 + (c - '0');
  }
  if (!valid || number < 1 || number > 65535)
    throw EConfigError("'" + std::string(text) + "' is not a port number (1 to 65535)");
  return number;
}

void SetPortSetting(const std::string& registryPath, TPortKind kind, int port) {
  if (port < 1 || port > 65535)
    throw EConfigError(std::to_string(port) + " is not a port number (1 to 65535)");
  SetSetting(registryPath,
             TRegValue::MakeInteger(PortSettingName(kind), static_cast<std::uint32_t>(port)));
}

void ClearPortSetting(const std::string& registryPath, TPortKind kind) {
  for (const TRegValue& value : ListSettings(registryPath)) {
    if (ascii::EqualsNoCase(value.name, PortSettingName(kind))) {
      DeleteSetting(registryPath, value.name);
      return;
    }
  }
}

std::string DescribePorts(const std::string& registryPath,
                          const std::function<const char*(const char*)>& environment) {
  std::string text;
  const std::vector<TRegValue> values = ListSettings(registryPath);
  for (TPortKind kind : {TPortKind::Listen, TPortKind::Upstream}) {
    const char* setting = PortSettingName(kind);
    const TRegValue* stored = nullptr;
    for (const TRegValue& value : values)
      if (ascii::EqualsNoCase(value.name, setting)) stored = &value;
    const std::optional<int> fromSetting = stored ? PortOfValue(*stored) : std::nullopt;
    const std::optional<int> fromVariable = PortOfVariable(environment(PortVariableName(kind)));

    text += kind == TPortKind::Listen ? "listen    " : "upstream  ";
    if (fromVariable) {
      text += std::to_string(*fromVariable) + "  from " + PortVariableName(kind) +
              ", which overrides any setting";
    } else if (fromSetting) {
      text += std::to_string(*fromSetting) + "  from the setting " + setting;
    } else {
      text += std::to_string(StandardPort(kind)) + "  standard (no setting " + setting + ")";
    }
    text += "\n";
    if (stored && !fromSetting)
      text += "          note: " + stored->name + " holds " + SettingDataText(*stored) +
              ", which is no port number (1 to 65535); the proxy ignores it\n";
  }
  return text;
}
