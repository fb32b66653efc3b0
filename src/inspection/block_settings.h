#pragma once
// The attachment policy's settings as plain values: what to do with a blocked mail and which
// extensions are blocked.

#include <string>
#include <vector>

#include "inspection/file_extension.h"

enum TBlockAction { baRename = 1, baDelete = 2 };

struct TBlockPolicy {
  // 1 rename, 2 delete; any other value only logs the match. An absent value or 0 means 1.
  int Action = baRename;
  std::vector<std::string> BlockedExtensions;
  // Strict attachment names: every name a mail program may take, decoded, at any depth.
  bool StrictNames = false;
};

// The policy for a stored action value (0 stands for "never set" and means rename) and the
// group switches with the user's own list.
TBlockPolicy MakeBlockPolicy(int action, const TBlockSettings& groups);
