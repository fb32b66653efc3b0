// brindlecap-config security and cafile: the protection of the session to the real server,
// set in words, shown in words, and read back as the proxy reads it.
#include <gtest/gtest.h>

#include <sstream>

#include "app/registry_access.h"
#include "config/command_line.h"
#include "config/security_settings.h"
#include "config_test_support.h"

namespace {

class SecurityCommand : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args, std::string* out = nullptr) {
    std::istringstream in;
    std::ostringstream o, e;
    int status = RunConfigCommand(args, places_, in, o, e);
    if (out != nullptr) *out = o.str();
    return status;
  }
  std::string Store() const { return config_test::ReadFile(reg_.Path()); }

  config_test::PrivateRegistry reg_;
  config_test::TempFolder folder_;
  TConfigPlaces places_{reg_.Path(), folder_.Path().string(), "", ""};
};

TEST_F(SecurityCommand, TheThreeChoicesAreSetAndShownInWords) {
  std::string out;
  ASSERT_EQ(Run({"security"}, &out), 0);
  EXPECT_EQ(out,
            "security  plain  (UpstreamSecurity 0): plain text, except that port 995 always "
            "means TLS\n"
            "cafile    none: only the system's trusted authorities count\n");
  ASSERT_EQ(Run({"security", "STLS"}, &out), 0);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamSecurity"), 1);
  EXPECT_EQ(out.substr(0, out.find('\n')),
            "security  stls  (UpstreamSecurity 1): STLS required: the session is encrypted "
            "after the greeting, or refused");
  ASSERT_EQ(Run({"security", "tls"}, &out), 0);
  EXPECT_EQ(RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamSecurity"), 2);
  ASSERT_EQ(Run({"security", "0"}), 0);
  EXPECT_EQ(StoredSecurity(reg_.Path()), TUpstreamSecurity::Plain);

  const std::string before = Store();
  EXPECT_EQ(Run({"security", "ssl"}), 2);
  EXPECT_EQ(Run({"security", "3"}), 2);
  EXPECT_EQ(Store(), before);

  // A value the proxy cannot use is shown as such.
  ASSERT_EQ(Run({"set", "UpstreamSecurity", "integer", "7"}), 0);
  EXPECT_EQ(StoredSecurity(reg_.Path()), std::nullopt);
  ASSERT_EQ(Run({"security"}, &out), 0);
  EXPECT_EQ(out.rfind("security  unreadable", 0), 0u) << out;
}

TEST_F(SecurityCommand, TheTrustFileMustHoldACertificate) {
  const auto pem = folder_.Path() / "own.pem";
  const auto junk = folder_.Path() / "junk.pem";
  config_test::WriteFile(pem, "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
  config_test::WriteFile(junk, "not a certificate\n");
  const std::string before = Store();
  EXPECT_EQ(Run({"cafile", junk.string()}), 1);
  EXPECT_EQ(Run({"cafile", (folder_.Path() / "missing.pem").string()}), 1);
  EXPECT_EQ(Store(), before);

  std::string out;
  ASSERT_EQ(Run({"cafile", pem.string()}, &out), 0);
  EXPECT_EQ(RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamCAFile"), pem.string());
  EXPECT_NE(out.find("cafile    " + pem.string() + "  (UpstreamCAFile)"), std::string::npos);
  ASSERT_EQ(Run({"cafile", "none"}), 0);
  ASSERT_EQ(Run({"cafile", "none"}), 0) << "twice is no error";
  EXPECT_EQ(StoredCAFile(reg_.Path()), "");
}

}  // namespace
