#pragma once
// Starting the proxy at login on a desktop: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/brindlecap.desktop (~/.config/autostart/... when unset), which the
// desktop reads at every login. The entry is the user's: turning it off removes the file.

#include <functional>
#include <string>

// Where the entry lives for this environment.
std::string AutostartEntryPath(const std::function<const char*(const char*)>& environment);

// The entry that starts the given program file.
std::string AutostartEntry(const std::string& programFile);

// On when the file is there and does not hide itself (Hidden=true, as a desktop's own
// settings dialog writes to turn an entry off).
bool AutostartEnabled(const std::string& entryPath);
// Writes the entry (making the folder), replacing one that is there. EConfigError on failure.
void EnableAutostart(const std::string& entryPath, const std::string& programFile);
// Removes the entry; nothing to do when it is missing. EConfigError on failure.
void DisableAutostart(const std::string& entryPath);
