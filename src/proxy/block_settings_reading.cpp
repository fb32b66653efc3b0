#include "proxy/block_settings_reading.h"

#include "app/registry_access.h"

namespace {

// A group is on unless a value of its name exists and reads 0.
bool GroupEnabled(std::string_view name) {
  return !RegValueNameExists(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name) ||
         RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name) != 0;
}

}  // namespace

TBlockPolicy ReadBlockPolicy() {
  const int action = RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Aktion");
  TBlockSettings groups;
  groups.Scripts = GroupEnabled("CheckBox_CheckAttach_Skripte");
  groups.Programs = GroupEnabled("CheckBox_CheckAttach_EXEs");
  groups.Others = GroupEnabled("CheckBox_CheckAttach_Other");
  if (groups.Others) {
    groups.OthersText = RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Others");
  }
  TBlockPolicy policy = MakeBlockPolicy(action, groups);
  policy.StrictNames =
      RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "StrictAttachmentNames") == 1;
  return policy;
}

bool ReportMailWanted() {
  return RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "CheckBox_SendError") == 1;
}
