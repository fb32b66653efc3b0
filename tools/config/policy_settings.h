#pragma once
// The attachment policy as the proxy will read it, in the shape a settings window shows it:
// one choice of action, three group switches, the own extension list, the report switch and
// the strict names switch.

#include <cstdint>
#include <string>

struct TPolicySettings {
  std::int32_t action = 1;  // 1 rename and insert a notice, 2 delete on the server, else only log
  bool blockScripts = true;
  bool blockPrograms = true;
  bool blockOwnList = true;
  std::string ownExtensions;  // as stored: entries separated by ","
  bool sendReport = false;
  bool strictNames = false;  // "StrictAttachmentNames" reads 1

  bool operator==(const TPolicySettings&) const = default;
};

// Applies the proxy's reading rules to the store file (a missing "Aktion" or 0 is 1, a group is
// on unless a value beginning with its switch's name exists and the switch reads 0, a report
// only when "CheckBox_SendError" reads 1, strict names only when "StrictAttachmentNames" reads 1).
// EConfigError when the file cannot be parsed or a value would make the proxy's check fail.
TPolicySettings ReadPolicySettings(const std::string& registryPath);

// Writes all seven values as numbers and text, so that they read back exactly as given.
void WritePolicySettings(const std::string& registryPath, const TPolicySettings& policy);

// A few lines for the user that say what the proxy will do.
std::string DescribePolicy(const TPolicySettings& policy);
