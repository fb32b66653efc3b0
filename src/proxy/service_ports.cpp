#include "proxy/service_ports.h"

#include <cstdlib>

std::string PortFromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  long number = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return fallback;
    number = number * 10 + (*p - '0');
    if (number > 65535) return fallback;
  }
  return std::to_string(number);
}

std::string LocalServicePort() {
  return PortFromEnvironment("BRINDLECAP_LISTEN_PORT", "111");
}

std::string UpstreamServicePort() {
  return PortFromEnvironment("BRINDLECAP_UPSTREAM_PORT", "110");
}
