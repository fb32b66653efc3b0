#include "proxy/service_ports.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
