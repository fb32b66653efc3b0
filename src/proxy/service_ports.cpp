#include "proxy/service_ports.h"

#include <cstdlib>

#include "app/registry_access.h"

std::string PortFromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  long number = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return fallback;
    number = number * 10 + (*p - '0');
    if (number > 65535) return fallback;
  }
  return std::to_string(number);
}

std::string PortFromSetting(std::string_view name, const std::string& fallback) {
  std::int32_t number = 0;
  try {
    number = RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name);
  } catch (const ERegistryError&) {
    // A value that is no number moves nothing; the configuration program refuses to set one.
    return fallback;
  }
  if (number < 1 || number > 65535) return fallback;
  return std::to_string(number);
}

std::string LocalServicePort() {
  return PortFromEnvironment(kListenPortVariable, PortFromSetting(kListenPortSetting, "111"));
}

std::string UpstreamServicePort(const std::string& namedPort, const std::string& standardPort) {
  const std::string fallback =
      namedPort.empty() ? PortFromSetting(kUpstreamPortSetting, standardPort) : namedPort;
  return PortFromEnvironment(kUpstreamPortVariable, fallback);
}
