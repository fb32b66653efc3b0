// The quarantine's settings and where its folder is.

#include "quarantine/quarantine_settings.h"

#include <gtest/gtest.h>

#include "config_test_support.h"
#include "quarantine/data_folder.h"

namespace {

using config_test::PrivateRegistry;

// Sets an environment variable for the length of a test.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~TScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(QuarantineSettings, AbsentMeansKeepCopiesForThirtyDays) {
  PrivateRegistry registry;
  TQuarantineSettings s = ReadQuarantineSettings();
  EXPECT_TRUE(s.Enabled);
  EXPECT_EQ(s.Days, 30);
  EXPECT_TRUE(s.Problem.empty());
}

TEST(QuarantineSettings, OnlyTheExactNameSwitchesCopiesOff) {
  PrivateRegistry registry;
  // "QuarantineDays" begins with "Quarantine": it must not count as the switch.
  registry.WriteKey("\"QuarantineDays\"=dword:00000000\n");
  EXPECT_TRUE(ReadQuarantineSettings().Enabled);
  EXPECT_EQ(ReadQuarantineSettings().Days, 0);
  registry.WriteKey("\"quarantine\"=dword:00000000\n\"QuarantineDays\"=\"7\"\n");
  EXPECT_FALSE(ReadQuarantineSettings().Enabled);
  EXPECT_EQ(ReadQuarantineSettings().Days, 7);
  registry.WriteKey("\"Quarantine\"=dword:00000002\n");
  EXPECT_TRUE(ReadQuarantineSettings().Enabled);
}

TEST(QuarantineSettings, UnreadableValuesFallToTheSafeSideAndSaySo) {
  PrivateRegistry registry;
  registry.WriteKey("\"Quarantine\"=\"off\"\n\"QuarantineDays\"=hex:01,02,03,04,05\n");
  TQuarantineSettings s = ReadQuarantineSettings();
  EXPECT_TRUE(s.Enabled);  // copies are still made
  EXPECT_EQ(s.Days, 0);    // and none is removed
  EXPECT_NE(s.Problem.find("Quarantine "), std::string::npos) << s.Problem;
  EXPECT_NE(s.Problem.find("QuarantineDays"), std::string::npos) << s.Problem;
}

TEST(QuarantineFolder, FollowsXdgDataHomeAndIgnoresARelativeOne) {
  TScopedEnv home("HOME", "/home/tester");
  {
    TScopedEnv data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(QuarantineFolder(), "/srv/data/brindlecap/quarantine");
  }
  {
    TScopedEnv data("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(QuarantineFolder(), "/home/tester/.local/share/brindlecap/quarantine");
  }
  TScopedEnv data("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(QuarantineFolder(), "/home/tester/.local/share/brindlecap/quarantine");
}

}  // namespace
