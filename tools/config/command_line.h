#pragma once
// The configuration program's commands. Kept apart from main() so that tests, and a window,
// can run them with their own store file, program folder and streams.

#include <iosfwd>
#include <string>
#include <vector>

struct TConfigPlaces {
  std::string registryPath;   // the store file
  std::string programFolder;  // where the notice files and the report template ship
  std::string userFolder;     // the user's own copies of them, read first and written to;
                              // empty while the program folder is the user's to write
  std::string autostartPath;  // the desktop's autostart entry for the proxy
  // Where the proxy keeps copies of deleted mails; empty means the user's usual folder.
  std::string quarantineFolder = {};

  std::string QuarantineFolder() const;
};

// Runs one command. Returns the exit status: 0 done, 1 refused or failed (nothing changed),
// 2 the command line itself is wrong.
int RunConfigCommand(const std::vector<std::string>& args, const TConfigPlaces& places,
                     std::istream& in, std::ostream& out, std::ostream& err);

std::string ConfigUsage();
