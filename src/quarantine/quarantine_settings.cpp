#include "quarantine/quarantine_settings.h"

#include <optional>

#include "app/registry_access.h"
#include "platform/registry_file.h"

namespace {

// The value of exactly this name (the routines' existence test would also take a longer name
// that begins with it, such as "QuarantineDays" for "Quarantine").
std::optional<std::int32_t> ExactInteger(const TRegStore& store, std::string_view name,
                                         std::string& problem) {
  const TRegKey* key =
      store.FindKey(std::string(HKEY_LOCAL_MACHINE.name) + "\\" + std::string(kSettingsKeyPath));
  if (key == nullptr || key->FindValue(name) == nullptr) return std::nullopt;
  try {
    return RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, name);
  } catch (const ERegistryError& e) {
    problem = std::string(name) + " cannot be read as a number (" + e.what() + ")";
    return std::nullopt;
  }
}

}  // namespace

TQuarantineSettings ReadQuarantineSettings() {
  const TRegStore store = ReadRegistryForLookup(RegistryFilePath());
  TQuarantineSettings settings;
  // An unreadable switch keeps copies: the safe side of the two.
  if (auto enabled = ExactInteger(store, "Quarantine", settings.Problem)) {
    settings.Enabled = *enabled != 0;
  }
  std::string daysProblem;
  if (auto days = ExactInteger(store, "QuarantineDays", daysProblem)) settings.Days = *days;
  if (!daysProblem.empty()) {
    // Removing nothing is the safe reading of a limit that cannot be read.
    settings.Days = 0;
    settings.Problem += (settings.Problem.empty() ? "" : "; ") + daysProblem;
  }
  return settings;
}
