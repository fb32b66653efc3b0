#pragma once
// The attachment policy's settings, read afresh through the registry routines at every run.

#include <string>
#include <vector>

enum TBlockAction { baRename = 1, baDelete = 2 };

struct TBlockPolicy {
  // 1 rename, 2 delete; any other value only logs the match. An absent value or 0 means 1.
  int Action = baRename;
  std::vector<std::string> BlockedExtensions;
};

// Reads "Aktion", the three group switches and, when the user's group is on, "Others".
// A value that cannot be read as a number raises the registry routines' error.
TBlockPolicy ReadBlockPolicy();

// "CheckBox_SendError" reads exactly 1.
bool ReportMailWanted();
