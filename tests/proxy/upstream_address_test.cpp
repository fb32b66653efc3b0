// The server part of the USER argument with its optional port, and the security setting.
#include "proxy/upstream_address.h"

#include <gtest/gtest.h>

namespace {

// The program's order: the test variable, then the named port, then the standard one.
TUpstreamPortChoice Choice(const std::string& variable) {
  return [variable](const std::string& named, const std::string& standard) {
    return !variable.empty() ? variable : !named.empty() ? named : standard;
  };
}

TEST(UpstreamAddress, DefaultPortsFollowTheSecuritySetting) {
  struct Case {
    const char* server;
    int security;
    const char* overridePort;
    const char* host;
    const char* port;
    TPop3TlsMode tls;
  } cases[] = {
      {"pop.example.org", 0, "", "pop.example.org", "110", pop3TlsNone},
      {"pop.example.org", 1, "", "pop.example.org", "110", pop3TlsStartTls},
      {"pop.example.org", 2, "", "pop.example.org", "995", pop3TlsImplicit},
      // The test variable moves every port; a named 995 still asks for TLS.
      {"pop.example.org", 2, "1995", "pop.example.org", "1995", pop3TlsImplicit},
      {"pop.example.org", 0, "1110", "pop.example.org", "1110", pop3TlsNone},
      {"pop.example.org:2110", 0, "1110", "pop.example.org", "1110", pop3TlsNone},
      {"pop.example.org:995", 0, "1995", "pop.example.org", "1995", pop3TlsImplicit},
      {"pop.example.org:2110", 0, "", "pop.example.org", "2110", pop3TlsNone},
      // Port 995 always means TLS from the first byte when nothing else is asked for.
      {"pop.example.org:995", 0, "", "pop.example.org", "995", pop3TlsImplicit},
      {"pop.example.org", 0, "995", "pop.example.org", "995", pop3TlsImplicit},
      {"pop.example.org:0995", 0, "", "pop.example.org", "995", pop3TlsImplicit},
      {"pop.example.org:995", 1, "", "pop.example.org", "995", pop3TlsStartTls},
      {"192.0.2.7:1", 2, "", "192.0.2.7", "1", pop3TlsImplicit},
      {"192.0.2.7:65535", 0, "", "192.0.2.7", "65535", pop3TlsNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " security " + std::to_string(c.security));
    TUpstreamTarget t =
        ResolveUpstreamTarget(c.server, c.security, "/etc/extra.pem", Choice(c.overridePort));
    EXPECT_EQ(t.Error, "");
    EXPECT_EQ(t.Host, c.host);
    EXPECT_EQ(t.Port, c.port);
    EXPECT_EQ(t.Tls, c.tls);
    EXPECT_EQ(t.CAFile, "/etc/extra.pem");
  }
}

TEST(UpstreamAddress, BadPortsAndSettingsStopTheLoginAndAreNamed) {
  for (const char* port : {"", "0", "65536", "99999999", "abc", "995a", "-1", " 995", "9 95"}) {
    std::string server = std::string("pop.example.org:") + port;
    TUpstreamTarget t = ResolveUpstreamTarget(server, 0, "", Choice(""));
    EXPECT_EQ(t.Error, "POP3 ; Invalid port \"" + std::string(port) + "\" in \"" + server +
                           "\": a port is a number from 1 to 65535");
  }
  EXPECT_EQ(ResolveUpstreamTarget(":995", 0, "", Choice("")).Error,
            "POP3 ; No server name before the port in \":995\"");
  for (int security : {-1, 3, 7}) {
    EXPECT_EQ(ResolveUpstreamTarget("pop.example.org", security, "", Choice("")).Error,
              "POP3 ; UpstreamSecurity " + std::to_string(security) +
                  " is none of 0 (plain), 1 (STLS required), 2 (TLS from the first byte)");
  }
}

}  // namespace
