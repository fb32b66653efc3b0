// The policy's settings as the registry file gives them.

#include "proxy/block_settings_reading.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/registry_access.h"

namespace {

class BlockSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brindlecap-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    const char* old = getenv("BRINDLECAP_REGISTRY");
    if (old) saved_ = old;
    setenv("BRINDLECAP_REGISTRY", (folder_ + "/registry.reg").c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("BRINDLECAP_REGISTRY");
    } else {
      setenv("BRINDLECAP_REGISTRY", saved_.c_str(), 1);
    }
    std::filesystem::remove_all(folder_);
  }
  void Values(const std::string& lines) {
    std::ofstream(folder_ + "/registry.reg")
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\r\n"
        << lines;
  }

  std::string folder_, saved_;
};

using Lines = std::vector<std::string>;
const Lines kScripts = {"JS", "WSH", "VBS", "WSC", "VBE", "VB", "SCT"};
const Lines kPrograms = {"EXE", "COM", "BAT"};

Lines Join(std::initializer_list<Lines> parts) {
  Lines out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(BlockSettings, NoKeyMeansRenameEveryGroupAndNoReport) {
  const TBlockPolicy policy = ReadBlockPolicy();
  EXPECT_EQ(policy.Action, baRename);
  EXPECT_EQ(policy.BlockedExtensions, Join({kScripts, kPrograms, {""}}));
  EXPECT_FALSE(ReportMailWanted());
}

TEST_F(BlockSettings, SwitchesActionAndOthers) {
  Values(
      "\"Aktion\"=\"2\"\r\n"
      "\"CheckBox_CheckAttach_Skripte\"=dword:00000000\r\n"
      "\"CheckBox_CheckAttach_EXEs\"=dword:00000005\r\n"
      "\"Others\"=hex:70,69,66,2c,73,63,72\r\n"
      "\"CheckBox_SendError\"=dword:00000001\r\n");
  const TBlockPolicy policy = ReadBlockPolicy();
  EXPECT_EQ(policy.Action, baDelete);
  EXPECT_EQ(policy.BlockedExtensions, Join({kPrograms, {"pif", "scr"}}));
  EXPECT_TRUE(ReportMailWanted());
}

TEST_F(BlockSettings, AllGroupsOffAndOtherActions) {
  Values(
      "\"Aktion\"=dword:00000003\r\n"
      "\"CheckBox_CheckAttach_Skripte\"=dword:00000000\r\n"
      "\"CheckBox_CheckAttach_EXEs\"=\"0\"\r\n"
      "\"CheckBox_CheckAttach_Other\"=dword:00000000\r\n"
      "\"Others\"=\"pif\"\r\n"
      "\"CheckBox_SendError\"=dword:00000002\r\n");
  const TBlockPolicy policy = ReadBlockPolicy();
  EXPECT_EQ(policy.Action, 3);
  EXPECT_TRUE(policy.BlockedExtensions.empty());
  EXPECT_FALSE(ReportMailWanted());
}

TEST_F(BlockSettings, APrefixedNameTurnsTheGroupOff) {
  // The name test matches by prefix; the exact value is missing and reads 0.
  Values("\"CheckBox_CheckAttach_EXEsX\"=dword:00000001\r\n\"Aktion\"=dword:00000000\r\n");
  const TBlockPolicy policy = ReadBlockPolicy();
  EXPECT_EQ(policy.Action, baRename);
  EXPECT_EQ(policy.BlockedExtensions, Join({kScripts, {""}}));
}

TEST_F(BlockSettings, LettersWhereANumberBelongsRaise) {
  Values("\"Aktion\"=\"two\"\r\n");
  EXPECT_THROW(ReadBlockPolicy(), ERegConvertError);
}

}  // namespace
