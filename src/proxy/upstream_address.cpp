#include "proxy/upstream_address.h"

#include "app/registry_access.h"
#include "proxy/service_ports.h"

namespace {

constexpr const char* kImplicitTlsPort = "995";

// The decimal text of a port from 1 to 65535, or "" when `text` is none.
std::string PortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::string();
  long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::string();
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > 65535) return std::string();
  return std::to_string(number);
}

}  // namespace

std::string UpstreamSecurityName(std::int32_t security) {
  switch (security) {
    case 0:
      return "plain (TLS on port 995)";
    case 1:
      return "STLS required";
    case 2:
      return "TLS from the first byte";
    default:
      return "unknown";
  }
}

TUpstreamTarget ResolveUpstreamTarget(const std::string& serverPart, std::int32_t security,
                                      const std::string& caFile,
                                      const TUpstreamPortChoice& choosePort) {
  TUpstreamTarget target;
  target.CAFile = caFile;
  if (security < 0 || security > 2) {
    target.Error = "POP3 ; UpstreamSecurity " + std::to_string(security) +
                   " is none of 0 (plain), 1 (STLS required), 2 (TLS from the first byte)";
    return target;
  }
  std::size_t colon = serverPart.find(':');
  target.Host = serverPart.substr(0, colon);
  std::string named;
  if (colon != std::string::npos) {
    std::string given = serverPart.substr(colon + 1);
    named = PortNumber(given);
    if (named.empty()) {
      target.Error = "POP3 ; Invalid port \"" + given + "\" in \"" + serverPart +
                     "\": a port is a number from 1 to 65535";
      return target;
    }
  }
  target.Port = choosePort(named, security == 2 ? kImplicitTlsPort : "110");
  if (target.Host.empty()) {
    target.Error = "POP3 ; No server name before the port in \"" + serverPart + "\"";
    return target;
  }
  if (security == 1)
    target.Tls = pop3TlsStartTls;
  else if (security == 2 || named == kImplicitTlsPort || target.Port == kImplicitTlsPort)
    target.Tls = pop3TlsImplicit;
  return target;
}

TUpstreamTarget UpstreamTargetFromSettings(const std::string& serverPart) {
  std::int32_t security = 0;
  std::string caFile;
  try {
    security = RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamSecurity");
    caFile = RegReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "UpstreamCAFile");
  } catch (const ERegistryError&) {
    // Never fall back to plain text on a setting that cannot be read.
    TUpstreamTarget target;
    target.Error = "POP3 ; The setting UpstreamSecurity is not a number";
    return target;
  }
  return ResolveUpstreamTarget(serverPart, security, caFile, UpstreamServicePort);
}
