#pragma once
// How the proxy protects its session to the real server: UpstreamSecurity (0 plain, where
// port 995 still means TLS; 1 STLS required; 2 TLS from the first byte) and UpstreamCAFile, a
// PEM file of authorities trusted besides the system's.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_file.h"

enum class TUpstreamSecurity { Plain = 0, StartTls = 1, Implicit = 2 };

// "plain", "stls", "tls": the words of the command line.
const char* SecurityWord(TUpstreamSecurity security);
// The choice in a sentence, as the window and `security` show it.
const char* SecurityMeaning(TUpstreamSecurity security);
// A word of the command line (letter case ignored) or the stored number 0, 1, 2.
std::optional<TUpstreamSecurity> FindSecurity(std::string_view word);

extern const char* const kUpstreamSecurityName;  // "UpstreamSecurity"
extern const char* const kUpstreamCAFileName;    // "UpstreamCAFile"

// The two settings as the proxy reads them from the key's values (see below).
std::optional<TUpstreamSecurity> SecurityOfValues(const std::vector<TRegValue>& values);
std::string CAFileOfValues(const std::vector<TRegValue>& values);
// The values to store. CAFileValue first checks that the file holds at least one PEM
// certificate, so the proxy will not refuse every TLS login for it (EConfigError otherwise).
TRegValue SecurityValue(TUpstreamSecurity security);
TRegValue CAFileValue(const std::string& path);

// The setting as the proxy reads it: Plain when missing, nullopt when the value is none of
// 0, 1, 2 (the proxy then refuses every login until it is mended).
std::optional<TUpstreamSecurity> StoredSecurity(const std::string& registryPath);
void SetSecuritySetting(const std::string& registryPath, TUpstreamSecurity security);

// "" when not set.
std::string StoredCAFile(const std::string& registryPath);
// Stores the path after the check of CAFileValue (EConfigError, nothing changed, otherwise).
void SetCAFileSetting(const std::string& registryPath, const std::string& path);
// Removes it: only the system's authorities are trusted again. No error when missing.
void ClearCAFileSetting(const std::string& registryPath);

// Lines for the user: the security in use and the extra trust file.
std::string DescribeSecurity(const std::string& registryPath);
