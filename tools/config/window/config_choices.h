#pragma once
// What the configuration window shows and changes, apart from how it looks: the attachment
// policy as the proxy will read it from the settings key, and the three texts of the program
// folder. Reading never fails (what cannot be read is said in notes); writing changes only
// what the user changed, checks everything first, and writes the settings in one atomic
// replacement under the store's writer lock, so changes made meanwhile by someone else stay.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/program_texts.h"
#include "config/security_settings.h"
#include "platform/registry_file.h"

enum class TBlockAction { Rename = 1, Delete = 2, LogOnly = 3 };
enum class TBlockGroup { Scripts = 0, Programs = 1, Own = 2 };

// The window's choices. An empty optional is a value the proxy cannot read (it would stop at
// it); the window shows it undecided and leaves it alone unless the user decides.
struct TConfigChoices {
  std::optional<TBlockAction> action;
  std::array<std::optional<bool>, 3> groups;  // by TBlockGroup
  std::string ownExtensions;                  // bytes as stored
  std::optional<bool> sendReport;
  // "StrictAttachmentNames" reads 1.
  std::optional<bool> strictNames;
  // The service listens again at once after a mail program dropped its connection.
  bool listenAfterDrop = false;
  // The files' bytes; nullopt for a missing file. By TProgramText.
  std::array<std::optional<std::string>, 3> texts;
  // The port settings; nullopt: no setting (or none the proxy can read), the standard port.
  std::optional<int> listenPort;
  std::optional<int> upstreamPort;
  bool autostart = false;  // the desktop starts the proxy at login
  // How the session to the real server is protected; nullopt: a value the proxy cannot read.
  std::optional<TUpstreamSecurity> security;
  std::string caFile;  // UpstreamCAFile as stored; empty: none
  bool operator==(const TConfigChoices&) const = default;
};

struct TConfigReading {
  TConfigChoices choices;
  bool storeReadable = true;       // false: the settings cannot be changed here
  std::vector<TRegValue> values;   // the key as stored, in file order
  std::vector<std::string> notes;  // what the user should know about what was read
};

const char* GroupSwitchName(TBlockGroup group);

TConfigReading ReadConfigChoices(const TConfigPlaces& places);

// Writes what differs between `before` (as read) and `after`. Throws EConfigError, having
// written nothing, when a change is refused; returns notes about what was written that the
// user should know (a report template without placeholders, say).
std::vector<std::string> WriteConfigChoices(const TConfigPlaces& places,
                                            const TConfigChoices& before,
                                            const TConfigChoices& after);
