#include "inspection/block_settings.h"

#include "app/registry_access.h"
#include "inspection/file_extension.h"

namespace {

// A group is on unless a value of its name exists and reads 0.
bool GroupEnabled(std::string_view name) {
  return !RegValueNameExists(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name) ||
         RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name) != 0;
}

}  // namespace

TBlockPolicy ReadBlockPolicy() {
  TBlockPolicy policy;
  policy.Action = RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Aktion");
  if (policy.Action == 0) policy.Action = baRename;
  TBlockSettings groups;
  groups.Scripts = GroupEnabled("CheckBox_CheckAttach_Skripte");
  groups.Programs = GroupEnabled("CheckBox_CheckAttach_EXEs");
  groups.Others = GroupEnabled("CheckBox_CheckAttach_Other");
  if (groups.Others) {
    groups.OthersText = RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Others");
  }
  policy.BlockedExtensions = BuildBlockedExtensions(groups);
  return policy;
}

bool ReportMailWanted() {
  return RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "CheckBox_SendError") == 1;
}
