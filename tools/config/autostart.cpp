#include "config/autostart.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "config/settings_edit.h"
#include "platform/registry_file.h"

namespace {

// An Exec argument in double quotes. Inside the quotes the format reserves " ` $ and \,
// each escaped by a backslash; % starts a field code and is doubled; and the value as a whole
// is unescaped once before the quotes are read, so every backslash is then written twice.
std::string QuotedExecArgument(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  std::string written = "\"";
  for (char c : quoted) {
    if (c == '\n') {
      written += "\\n";
      continue;
    }
    written += c;
    if (c == '\\') written += '\\';
  }
  return written + "\"";
}

}  // namespace

std::string AutostartEntryPath(const std::function<const char*(const char*)>& environment) {
  if (const char* config = environment("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
    return std::string(config) + "/autostart/brindlecap.desktop";
  const char* home = environment("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") +
         "/.config/autostart/brindlecap.desktop";
}

std::string AutostartEntry(const std::string& programFile) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=Brindlecap\n"
         "GenericName=Mail attachment guard\n"
         "Comment=Checks the attachments of new mail before the mail program fetches it\n"
         "Exec=" +
         QuotedExecArgument(programFile) +
         "\n"
         "Icon=brindlecap\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEnabled(const std::string& entryPath) {
  std::ifstream in(entryPath);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "Hidden=true") return false;
  }
  return true;
}

void EnableAutostart(const std::string& entryPath, const std::string& programFile) {
  try {
    ReplaceFileAtomically(entryPath, AutostartEntry(programFile));
  } catch (const ERegistryFileError& e) {
    throw EConfigError(e.what());
  }
}

void DisableAutostart(const std::string& entryPath) {
  if (std::remove(entryPath.c_str()) != 0 && errno != ENOENT)
    throw EConfigError("cannot remove " + entryPath + ": " + std::strerror(errno));
}
