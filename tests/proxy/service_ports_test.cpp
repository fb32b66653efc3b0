#include "proxy/service_ports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "proxy/listen_failure.h"

namespace {

TEST(ServicePorts, EnvironmentMovesThePortsOnlyWithAValidNumber) {
  const char* name = "BRINDLECAP_TEST_PORT";
  ::unsetenv(name);
  EXPECT_EQ(PortFromEnvironment(name, "111"), "111");
  for (const char* bad : {"", "abc", "-1", "65536", "99999999999999999999", "12 ", " 12", "1e3"}) {
    ::setenv(name, bad, 1);
    EXPECT_EQ(PortFromEnvironment(name, "111"), "111") << "'" << bad << "'";
  }
  for (auto [value, port] :
       {std::pair{"1100", "1100"}, {"0", "0"}, {"65535", "65535"}, {"00110", "110"}}) {
    ::setenv(name, value, 1);
    EXPECT_EQ(PortFromEnvironment(name, "111"), port) << value;
  }
  ::unsetenv(name);
}

TEST(ServicePorts, FixedPortsHoldWithoutTheEnvironment) {
  // Nor any setting: the user's own settings file must not decide this test.
  ::setenv("BRINDLECAP_REGISTRY", "/nonexistent/registry.reg", 1);
  ::unsetenv("BRINDLECAP_UPSTREAM_PORT");
  EXPECT_EQ(UpstreamServicePort(), "110");
  const char* saved = std::getenv("BRINDLECAP_LISTEN_PORT");
  std::string keep = saved ? saved : "";
  ::unsetenv("BRINDLECAP_LISTEN_PORT");
  EXPECT_EQ(LocalServicePort(), "111");
  ::setenv("BRINDLECAP_LISTEN_PORT", "2110", 1);
  EXPECT_EQ(LocalServicePort(), "2110");
  if (saved)
    ::setenv("BRINDLECAP_LISTEN_PORT", keep.c_str(), 1);
  else
    ::unsetenv("BRINDLECAP_LISTEN_PORT");
}

// The settings file of one test, and neither port variable, so that the settings decide.
class PortSettings : public ::testing::Test {
 protected:
  PortSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ports-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    ::setenv("BRINDLECAP_REGISTRY", (folder_ + "/registry.reg").c_str(), 1);
    ::unsetenv("BRINDLECAP_LISTEN_PORT");
    ::unsetenv("BRINDLECAP_UPSTREAM_PORT");
  }
  ~PortSettings() override { std::filesystem::remove_all(folder_); }
  void Store(const std::string& lines) {
    std::ofstream(folder_ + "/registry.reg")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n"
        << lines;
  }
  std::string folder_;
};

TEST_F(PortSettings, SettingsMoveThePortsAndTheVariablesStillOverride) {
  Store("\"ListenPort\"=dword:00000457\n\"UpstreamPort\"=\"1110\"\n");
  EXPECT_EQ(LocalServicePort(), "1111");
  EXPECT_EQ(UpstreamServicePort(), "1110");
  ::setenv("BRINDLECAP_LISTEN_PORT", "2110", 1);
  ::setenv("BRINDLECAP_UPSTREAM_PORT", "2111", 1);
  EXPECT_EQ(LocalServicePort(), "2110");
  EXPECT_EQ(UpstreamServicePort(), "2111");
  // A variable that is no port number leaves the setting in charge, not the standard port.
  ::setenv("BRINDLECAP_LISTEN_PORT", "x", 1);
  EXPECT_EQ(LocalServicePort(), "1111");
}

TEST_F(PortSettings, AServerPortFromTheMailProgramComesBeforeTheSetting) {
  Store("\"UpstreamPort\"=dword:00000456\n");
  EXPECT_EQ(UpstreamServicePort("2995"), "2995");
  EXPECT_EQ(UpstreamServicePort("", "995"), "1110");
  Store("");
  EXPECT_EQ(UpstreamServicePort("", "995"), "995");
  ::setenv("BRINDLECAP_UPSTREAM_PORT", "2111", 1);
  EXPECT_EQ(UpstreamServicePort("2995"), "2111");
}

TEST_F(PortSettings, ASettingThatIsNoPortIsPassedOver) {
  for (const char* bad :
       {"dword:00000000", "dword:00010000", "dword:ffffffff", "\"zwei\"", "hex:01,02,03,04,05"}) {
    Store(std::string("\"ListenPort\"=") + bad + "\n\"UpstreamPort\"=" + bad + "\n");
    EXPECT_EQ(LocalServicePort(), "111") << bad;
    EXPECT_EQ(UpstreamServicePort(), "110") << bad;
  }
  Store("\"ListenPort\"=dword:0000ffff\n");
  EXPECT_EQ(LocalServicePort(), "65535");
}

TEST(ListenFailure, TheLineGivesTheReasonThePortAndTheWayOut) {
  EXPECT_EQ(ListenFailureLine("111", 10013, false),
            "***Cannot listen on port 111: Permission denied (error 10013). Ports below 1024 "
            "need privileges. Choose another port with \"brindlecap-config port listen 1111\" "
            "(1024 to 65535), then press Reset or send SIGUSR1.");
  EXPECT_EQ(ListenFailureLine("1111", 10048, true),
            "***Cannot listen on port 1111: Address already in use (error 10048). Another "
            "program listens there. Choose another port in BRINDLECAP_LISTEN_PORT (e.g. 1112) "
            "and start the program again.");
  EXPECT_EQ(ListenFailureLine("2000", 0, false).substr(0, 35),
            "***Cannot listen on port 2000. Choo");
}

}  // namespace
