#pragma once
// The two ports of the service. Ports below 1024 need privilege on Linux and 111 is often
// taken by another service, so the ports may be moved: by a setting in the settings key
// (ListenPort, UpstreamPort) or, above that, by the environment.

#include <string>
#include <string_view>

inline constexpr char kListenPortVariable[] = "BRINDLECAP_LISTEN_PORT";
inline constexpr char kUpstreamPortVariable[] = "BRINDLECAP_UPSTREAM_PORT";
inline constexpr char kListenPortSetting[] = "ListenPort";
inline constexpr char kUpstreamPortSetting[] = "UpstreamPort";

// BRINDLECAP_LISTEN_PORT when it holds a port number (0..65535; 0 lets the system choose a
// free port, which tests use), else the ListenPort setting, else "111".
std::string LocalServicePort();
// The port of the real server, first found of: BRINDLECAP_UPSTREAM_PORT; the port the mail
// program named with the server (empty when it named none); the UpstreamPort setting;
// `standardPort`. Read afresh at every call, like every setting.
std::string UpstreamServicePort(const std::string& namedPort = "",
                                const std::string& standardPort = "110");
// The text of a port number from the environment variable `name`, or `fallback` when the
// variable is unset, empty or not a port number (0..65535, decimal digits only).
std::string PortFromEnvironment(const char* name, const std::string& fallback);
// The text of the setting `name` when it holds a port number (1..65535), else `fallback`.
// A missing setting reads 0, so 0 cannot be set this way.
std::string PortFromSetting(std::string_view name, const std::string& fallback);
