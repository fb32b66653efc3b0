#include "config/policy_settings.h"

#include <gtest/gtest.h>

#include "config/settings_edit.h"
#include "config_test_support.h"

namespace {

TEST(PolicySettings, MissingKeyGivesTheProxysDefaults) {
  config_test::PrivateRegistry reg;
  TPolicySettings policy = ReadPolicySettings(reg.Path());
  EXPECT_EQ(policy, TPolicySettings{});
  EXPECT_EQ(DescribePolicy(policy),
            "A mail with a blocked attachment: the attachment is renamed and a notice put into "
            "the mail (Aktion 1)\n"
            "Blocked: scripts (JS WSH VBS WSC VBE VB SCT); programs (EXE COM BAT); own list "
            "\"\"\n"
            "Report mail for a deleted mail: no\n"
            "Strict attachment names: off (only \"attachment\" lines with filename= are "
            "judged)\n");
}

TEST(PolicySettings, ReadsStoredValuesByTheProxysRules) {
  config_test::PrivateRegistry reg;
  reg.WriteKey(
      "\"Aktion\"=\"2\"\n"
      "\"CheckBox_CheckAttach_Skripte\"=\"0\"\n"
      "\"CheckBox_CheckAttach_EXEsX\"=dword:1\n"
      "\"CheckBox_CheckAttach_Other\"=dword:5\n"
      "\"Others\"=hex:70,69,66\n"
      "\"CheckBox_SendError\"=dword:2\n");
  TPolicySettings policy = ReadPolicySettings(reg.Path());
  EXPECT_EQ(policy.action, 2);
  EXPECT_FALSE(policy.blockScripts);
  EXPECT_FALSE(policy.blockPrograms) << "a longer name turns the group off";
  EXPECT_TRUE(policy.blockOwnList);
  EXPECT_EQ(policy.ownExtensions, "pif");
  EXPECT_FALSE(policy.sendReport) << "only 1 asks for a report";
  EXPECT_FALSE(policy.strictNames);

  reg.WriteKey("\"Aktion\"=dword:0\n\"CheckBox_SendError\"=hex:01\n");
  policy = ReadPolicySettings(reg.Path());
  EXPECT_EQ(policy.action, 1);
  EXPECT_TRUE(policy.sendReport);

  reg.WriteKey("\"StrictAttachmentNames\"=dword:1\n");
  policy = ReadPolicySettings(reg.Path());
  EXPECT_TRUE(policy.strictNames);
  EXPECT_NE(DescribePolicy(policy).find("\nStrict attachment names: on (every name"),
            std::string::npos);
  reg.WriteKey("\"StrictAttachmentNames\"=dword:2\n");
  EXPECT_FALSE(ReadPolicySettings(reg.Path()).strictNames) << "only 1 turns strict names on";
}

TEST(PolicySettings, WrittenPolicyReadsBackAndEndsTheLongerNameTrap) {
  config_test::PrivateRegistry reg;
  reg.WriteKey("\"CheckBox_CheckAttach_EXEsX\"=dword:1\n\"Others\"=hex:41\n");
  TPolicySettings policy;
  policy.action = 3;
  policy.blockScripts = false;
  policy.ownExtensions = "pif,scr";
  policy.sendReport = true;
  policy.strictNames = true;
  WritePolicySettings(reg.Path(), policy);
  EXPECT_EQ(ReadPolicySettings(reg.Path()), policy);
  EXPECT_NE(DescribePolicy(policy).find("only logged"), std::string::npos);
}

TEST(PolicySettings, ValuesThatWouldFailTheCheckAreReported) {
  config_test::PrivateRegistry reg;
  reg.WriteKey("\"Aktion\"=\"zwei\"\n");
  EXPECT_THROW(ReadPolicySettings(reg.Path()), EConfigError);
  reg.WriteKey("\"CheckBox_SendError\"=hex:01,00,00,00,00\n");
  EXPECT_THROW(ReadPolicySettings(reg.Path()), EConfigError);
  config_test::WriteFile(reg.Path(), "not a settings file");
  EXPECT_THROW(ReadPolicySettings(reg.Path()), EConfigError);
  EXPECT_THROW(WritePolicySettings(reg.Path(), TPolicySettings{}), EConfigError);
  EXPECT_EQ(reg.Contents(), "not a settings file");
}

}  // namespace
