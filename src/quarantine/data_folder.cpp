#include "quarantine/data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

}  // namespace

std::string UserDataFolder() {
  // A relative XDG_DATA_HOME is invalid and must be ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return dataHome;
  return HomeFolder() + "/.local/share";
}

std::string QuarantineFolder() {
  return UserDataFolder() + "/brindlecap/quarantine";
}
