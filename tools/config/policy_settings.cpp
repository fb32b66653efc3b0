#include "config/policy_settings.h"

#include "app/registry_access.h"
#include "config/settings_edit.h"
#include "platform/registry_file.h"

namespace {

constexpr std::string_view kAction = "Aktion";
constexpr std::string_view kScripts = "CheckBox_CheckAttach_Skripte";
constexpr std::string_view kPrograms = "CheckBox_CheckAttach_EXEs";
constexpr std::string_view kOwnList = "CheckBox_CheckAttach_Other";
constexpr std::string_view kOthers = "Others";
constexpr std::string_view kSendReport = "CheckBox_SendError";
constexpr std::string_view kStrictNames = "StrictAttachmentNames";

bool GroupOn(const TRegStore& store, std::string_view switchName) {
  return !(RegValueNameExists(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, switchName) &&
           RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, switchName) == 0);
}

}  // namespace

TPolicySettings ReadPolicySettings(const std::string& registryPath) {
  TRegStore store;
  try {
    store = LoadRegistryFile(registryPath);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) +
                       ". The proxy ignores this file and uses its defaults until it is mended.");
  }
  try {
    TPolicySettings policy;
    policy.action = RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, kAction);
    if (policy.action == 0) policy.action = 1;
    policy.blockScripts = GroupOn(store, kScripts);
    policy.blockPrograms = GroupOn(store, kPrograms);
    policy.blockOwnList = GroupOn(store, kOwnList);
    policy.ownExtensions = RegReadText(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, kOthers);
    policy.sendReport =
        RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSendReport) == 1;
    policy.strictNames =
        RegReadInteger(store, HKEY_LOCAL_MACHINE, kSettingsKeyPath, kStrictNames) == 1;
    return policy;
  } catch (const ERegistryError& e) {
    throw EConfigError(std::string("the proxy cannot read its settings (") + e.what() +
                       "), so every mail check fails until the value is mended");
  }
}

void WritePolicySettings(const std::string& registryPath, const TPolicySettings& policy) {
  auto flag = [](bool on) { return on ? 1u : 0u; };
  std::string key = SettingsKeyFullPath();
  try {
    ModifyRegistryFile(registryPath, [&](TRegStore& store) {
      TRegKey& k = store.OpenKey(key);
      k.SetValue(
          TRegValue::MakeInteger(std::string(kAction), static_cast<std::uint32_t>(policy.action)));
      k.SetValue(TRegValue::MakeInteger(std::string(kScripts), flag(policy.blockScripts)));
      k.SetValue(TRegValue::MakeInteger(std::string(kPrograms), flag(policy.blockPrograms)));
      k.SetValue(TRegValue::MakeInteger(std::string(kOwnList), flag(policy.blockOwnList)));
      k.SetValue(TRegValue::MakeString(std::string(kOthers), policy.ownExtensions));
      k.SetValue(TRegValue::MakeInteger(std::string(kSendReport), flag(policy.sendReport)));
      k.SetValue(TRegValue::MakeInteger(std::string(kStrictNames), flag(policy.strictNames)));
      return true;
    });
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) + ". Nothing was changed.");
  }
}

std::string DescribePolicy(const TPolicySettings& policy) {
  std::string out = "A mail with a blocked attachment: ";
  if (policy.action == 1) {
    out += "the attachment is renamed and a notice put into the mail (Aktion 1)\n";
  } else if (policy.action == 2) {
    out += "the mail is deleted on the server (Aktion 2)\n";
  } else {
    out += "the find is only logged, the mail stays as it is (Aktion " +
           std::to_string(policy.action) + ")\n";
  }
  std::string groups;
  auto add = [&](bool on, const std::string& text) {
    if (!on) return;
    if (!groups.empty()) groups += "; ";
    groups += text;
  };
  add(policy.blockScripts, "scripts (JS WSH VBS WSC VBE VB SCT)");
  add(policy.blockPrograms, "programs (EXE COM BAT)");
  add(policy.blockOwnList, "own list \"" + policy.ownExtensions + "\"");
  out += "Blocked: " + (groups.empty() ? std::string("nothing") : groups) + "\n";
  out +=
      std::string("Report mail for a deleted mail: ") + (policy.sendReport ? "yes" : "no") + "\n";
  out += std::string("Strict attachment names: ") +
         (policy.strictNames ? "on (every name a mail program may take is judged)"
                             : "off (only \"attachment\" lines with filename= are judged)") +
         "\n";
  return out;
}
