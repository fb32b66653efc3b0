#include "config/service_settings.h"

#include "app/registry_access.h"
#include "config/settings_edit.h"
#include "platform/registry_file.h"

bool ReadListenAfterDrop(const std::string& registryPath) {
  TRegStore store;
  try {
    store = LoadRegistryFile(registryPath);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) +
                       ". The proxy ignores this file and uses its defaults until it is mended.");
  }
  try {
    return RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, kListenAfterDropName) == 1;
  } catch (const ERegistryError&) {
    return false;  // the proxy takes a value it cannot read as a number for "off"
  }
}

void WriteListenAfterDrop(const std::string& registryPath, bool on) {
  SetSetting(registryPath, TRegValue::MakeInteger(kListenAfterDropName, on ? 1u : 0u));
}

std::string DescribeListenAfterDrop(bool on) {
  return on ? "After a mail program drops its connection without QUIT, the service listens "
              "again at once.\n"
            : "After a mail program drops its connection without QUIT, the window's service "
              "waits for Reset (without a window it listens again at once).\n";
}
