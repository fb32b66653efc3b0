// The policy made from plain setting values, without the registry.

#include "inspection/block_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(BlockPolicy, NeverSetMeansRenameAndOtherActionsStayAsStored) {
  TBlockSettings none;
  none.Scripts = none.Programs = none.Others = false;
  EXPECT_EQ(MakeBlockPolicy(0, none).Action, baRename);
  EXPECT_EQ(MakeBlockPolicy(2, none).Action, baDelete);
  // An action the policy does not know only logs the match later; it is not mended here.
  EXPECT_EQ(MakeBlockPolicy(7, none).Action, 7);
  EXPECT_TRUE(MakeBlockPolicy(1, none).BlockedExtensions.empty());
}

TEST(BlockPolicy, ExtensionsFollowTheGroupsInTheirOrder) {
  TBlockSettings groups;
  groups.Scripts = false;
  groups.OthersText = "pif,SCR";
  const auto policy = MakeBlockPolicy(1, groups);
  EXPECT_EQ(policy.BlockedExtensions,
            (std::vector<std::string>{"EXE", "COM", "BAT", "pif", "SCR"}));
}

}  // namespace
