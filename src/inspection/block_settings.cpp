#include "inspection/block_settings.h"

TBlockPolicy MakeBlockPolicy(int action, const TBlockSettings& groups) {
  TBlockPolicy policy;
  policy.Action = action == 0 ? baRename : action;
  policy.BlockedExtensions = BuildBlockedExtensions(groups);
  return policy;
}
