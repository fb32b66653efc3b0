#pragma once
// Where and how the proxy reaches the user's real server: the server part of the USER
// argument ("host" or "host:port"), the UpstreamSecurity and UpstreamCAFile settings, and
// BRINDLECAP_UPSTREAM_PORT, which moves the default port for tests.

#include <cstdint>
#include <functional>
#include <string>

#include "pop3/pop3_types.h"

struct TUpstreamTarget {
  std::string Host;
  std::string Port;
  TPop3TlsMode Tls = pop3TlsNone;
  std::string CAFile;
  // Not empty when the login must not go ahead: the log line that says why.
  std::string Error;
};

// Picks the port from the one named in the user name ("" when none) and the standard port
// of the security asked for (UpstreamServicePort in the program).
using TUpstreamPortChoice =
    std::function<std::string(const std::string& namedPort, const std::string& standardPort)>;

// UpstreamSecurity: 0 plain (port 995 nevertheless means TLS from the first byte), 1 STLS
// required, 2 TLS from the first byte, whose standard port is 995 (110 for the others).
TUpstreamTarget ResolveUpstreamTarget(const std::string& serverPart, std::int32_t security,
                                      const std::string& caFile,
                                      const TUpstreamPortChoice& choosePort);

// The same with the settings as stored now and the environment.
TUpstreamTarget UpstreamTargetFromSettings(const std::string& serverPart);

// The security setting in words, as the log and the configuration program show it.
std::string UpstreamSecurityName(std::int32_t security);
