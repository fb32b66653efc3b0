#pragma once
// The two fixed ports of the service. Ports below 1024 need privilege on Linux and 111 is
// often taken by another service, so the environment may move them; nothing else can.

#include <string>

// "111", or BRINDLECAP_LISTEN_PORT when it holds a port number (0..65535; 0 lets the system
// choose a free port, which tests use).
std::string LocalServicePort();
// "110", or BRINDLECAP_UPSTREAM_PORT when it holds a valid port number.
std::string UpstreamServicePort();
// The text of a port number from the environment variable `name`, or `fallback` when the
// variable is unset, empty or not a port number (0..65535, decimal digits only).
std::string PortFromEnvironment(const char* name, const std::string& fallback);
