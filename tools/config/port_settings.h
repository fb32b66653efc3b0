#pragma once
// The two ports as settings: ListenPort, where the proxy waits for the mail program (111 when
// not set), and UpstreamPort, where it reaches the real server (110 when not set). The
// environment variables BRINDLECAP_LISTEN_PORT and BRINDLECAP_UPSTREAM_PORT still override
// them for the proxy they are set for.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_file.h"

enum class TPortKind { Listen, Upstream };

const char* PortSettingName(TPortKind kind);                   // ListenPort, UpstreamPort
const char* PortVariableName(TPortKind kind);                  // BRINDLECAP_LISTEN_PORT, ...
int StandardPort(TPortKind kind);                              // 111, 110
std::optional<TPortKind> FindPortKind(std::string_view word);  // "listen", "upstream"

// The port a settings value gives, as the proxy reads it: nullopt when the value is no number
// from 1 to 65535 (the proxy then uses the standard port).
std::optional<int> PortOfValue(const TRegValue& value);
// True when `name` is one of the two port settings, letter case ignored.
bool IsPortSetting(std::string_view name);

// The stored setting (nullopt when missing or unreadable), read from the store file.
std::optional<int> StoredPort(const std::string& registryPath, TPortKind kind);
// Stores the port (1 to 65535, else EConfigError and nothing changes).
void SetPortSetting(const std::string& registryPath, TPortKind kind, int port);
// Removes the setting, so that the standard port counts again; no error when it is missing.
void ClearPortSetting(const std::string& registryPath, TPortKind kind);
// The text of a port given on the command line: 1 to 65535, else EConfigError.
int ParsePortArgument(std::string_view text);

// Lines for the user: each port the proxy will use and where it comes from, given the
// environment the question is asked in.
std::string DescribePorts(const std::string& registryPath,
                          const std::function<const char*(const char*)>& environment);
