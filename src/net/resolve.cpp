#include "net/resolve.h"

#include <arpa/inet.h>

#include <cstdio>
#include <limits>

#include "net/wsocket_types.h"
#include "platform/ascii_text.h"
#include "platform/host_lookup.h"
#include "platform/socket_errors.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Names and numbers typed by a user lose every blank and control byte at both ends.
std::string Trim(std::string_view s) {
  return std::string(ascii::Trim(s, ascii::TTrimSet::tsSpaceAndControls));
}

std::string Format(const char* fmt, const std::string& text, int number) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, text.c_str(), number);
  return buf;
}

}  // namespace

bool IsDottedAddress(const std::string& s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  if (i < n && s[i] == '.') return false;
  int dots = 0;
  int part = 0;
  for (; i < n; ++i) {
    char c = s[i];
    if (IsDigit(c)) {
      // Capped so that long runs of digits cannot overflow; anything above 255 is rejected.
      part = std::min(part * 10 + (c - '0'), 1000);
    } else if (c == '.') {
      ++dots;
      if (dots > 3 || part > 255 || i + 1 >= n || !IsDigit(s[i + 1])) return false;
      part = 0;
    } else {
      while (i < n && s[i] == ' ') ++i;
      if (i < n) return false;
      break;
    }
  }
  return dots == 3 && part <= 255;
}

std::int32_t ParseLeadingNumber(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  std::int64_t value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    value = value * 10 + (s[i] - '0');
    // Saturate: a number too large for 32 bits must not wrap round into a valid one.
    if (value > std::numeric_limits<std::int32_t>::max())
      value = std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

std::string DottedAddress(std::uint32_t networkAddress) {
  in_addr a{};
  a.s_addr = networkAddress;
  char buf[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

std::uint32_t InetAddr(const std::string& text) {
  return inet_addr(text.c_str());
}

std::uint32_t WSocketResolveHost(const std::string& host) {
  if (host.empty() || host.size() > 256)
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  if (IsDottedAddress(host)) {
    std::string trimmed = Trim(host);
    std::uint32_t address = InetAddr(trimmed);
    if (address == INADDR_NONE && trimmed != "255.255.255.255")
      throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
    return address;
  }
  THostEntry entry;
  if (!GetHostByName(Trim(host), entry))
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                  host, wsa::GetLastError()));
  return entry.addresses.front();
}

std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
  if (port.empty() || port.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (proto.empty() || proto.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (IsDigit(port[0])) {
    std::int32_t value = ParseLeadingNumber(port);
    if (value > 65535)
      throw ESocketException("WSocketResolvePort: Port '" + port + "' is out of range.");
    return static_cast<std::uint16_t>(value);
  }
  std::uint16_t number = 0;
  if (!GetServicePort(Trim(port), Trim(proto), number))
    throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d", port,
                                  wsa::GetLastError()));
  return number;
}

std::int32_t WSocketResolveProto(const std::string& proto) {
  if (proto.empty() || proto.size() >= 32)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  std::string trimmed = Trim(proto);
  if (!trimmed.empty() && IsDigit(trimmed[0])) return ParseLeadingNumber(trimmed);
  int number = 0;
  if (!GetProtocolNumber(trimmed, number))
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                  trimmed, wsa::GetLastError()));
  return number;
}
