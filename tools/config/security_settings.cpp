#include "config/security_settings.h"

#include <fstream>
#include <sstream>

#include "app/registry_access.h"
#include "config/settings_edit.h"
#include "platform/ascii_text.h"

namespace {

const TRegValue* FindValue(const std::vector<TRegValue>& values, std::string_view name) {
  for (const TRegValue& v : values)
    if (ascii::EqualsNoCase(v.name, name)) return &v;
  return nullptr;
}

}  // namespace

const char* const kUpstreamSecurityName = "UpstreamSecurity";
const char* const kUpstreamCAFileName = "UpstreamCAFile";

const char* SecurityWord(TUpstreamSecurity security) {
  switch (security) {
    case TUpstreamSecurity::StartTls:
      return "stls";
    case TUpstreamSecurity::Implicit:
      return "tls";
    default:
      return "plain";
  }
}

const char* SecurityMeaning(TUpstreamSecurity security) {
  switch (security) {
    case TUpstreamSecurity::StartTls:
      return "STLS required: the session is encrypted after the greeting, or refused";
    case TUpstreamSecurity::Implicit:
      return "TLS from the first byte (standard port 995)";
    default:
      return "plain text, except that port 995 always means TLS";
  }
}

std::optional<TUpstreamSecurity> FindSecurity(std::string_view word) {
  for (TUpstreamSecurity s :
       {TUpstreamSecurity::Plain, TUpstreamSecurity::StartTls, TUpstreamSecurity::Implicit}) {
    if (ascii::EqualsNoCase(word, SecurityWord(s)) || word == std::to_string(static_cast<int>(s)))
      return s;
  }
  return std::nullopt;
}

std::optional<TUpstreamSecurity> SecurityOfValues(const std::vector<TRegValue>& values) {
  const TRegValue* value = FindValue(values, kUpstreamSecurityName);
  if (value == nullptr) return TUpstreamSecurity::Plain;
  TRegStore store;
  store.OpenKey(SettingsKeyFullPath()).SetValue(*value);
  std::int32_t number = -1;
  try {
    number = RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, value->name);
  } catch (const ERegistryError&) {
    return std::nullopt;
  }
  if (number < 0 || number > 2) return std::nullopt;
  return static_cast<TUpstreamSecurity>(number);
}

std::string CAFileOfValues(const std::vector<TRegValue>& values) {
  const TRegValue* value = FindValue(values, kUpstreamCAFileName);
  if (value == nullptr) return std::string();
  TRegStore store;
  store.OpenKey(SettingsKeyFullPath()).SetValue(*value);
  return RegReadText(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, value->name);
}

TRegValue SecurityValue(TUpstreamSecurity security) {
  return TRegValue::MakeInteger(kUpstreamSecurityName, static_cast<std::uint32_t>(security));
}

TRegValue CAFileValue(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (path.empty() || !in) throw EConfigError("'" + path + "' cannot be read");
  std::ostringstream contents;
  contents << in.rdbuf();
  if (contents.str().find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    throw EConfigError("'" + path + "' holds no PEM certificate (-----BEGIN CERTIFICATE-----)");
  return TRegValue::MakeString(kUpstreamCAFileName, path);
}

std::optional<TUpstreamSecurity> StoredSecurity(const std::string& registryPath) {
  return SecurityOfValues(ListSettings(registryPath));
}

void SetSecuritySetting(const std::string& registryPath, TUpstreamSecurity security) {
  SetSetting(registryPath, SecurityValue(security));
}

std::string StoredCAFile(const std::string& registryPath) {
  return CAFileOfValues(ListSettings(registryPath));
}

void SetCAFileSetting(const std::string& registryPath, const std::string& path) {
  SetSetting(registryPath, CAFileValue(path));
}

void ClearCAFileSetting(const std::string& registryPath) {
  const std::vector<TRegValue> values = ListSettings(registryPath);
  if (const TRegValue* value = FindValue(values, kUpstreamCAFileName))
    DeleteSetting(registryPath, value->name);
}

std::string DescribeSecurity(const std::string& registryPath) {
  std::string text;
  const std::optional<TUpstreamSecurity> security = StoredSecurity(registryPath);
  if (security) {
    text += std::string("security  ") + SecurityWord(*security) + "  (UpstreamSecurity " +
            std::to_string(static_cast<int>(*security)) + "): " + SecurityMeaning(*security) + "\n";
  } else {
    text +=
        "security  unreadable: UpstreamSecurity is none of 0, 1, 2, so the proxy refuses every "
        "login; set it with 'security plain|stls|tls'\n";
  }
  const std::string caFile = StoredCAFile(registryPath);
  if (caFile.empty()) {
    text += "cafile    none: only the system's trusted authorities count\n";
  } else {
    text +=
        "cafile    " + caFile + "  (UpstreamCAFile): trusted besides the system's authorities\n";
  }
  return text;
}
