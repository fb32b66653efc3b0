#include "app/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/program_folder.h"

namespace {

constexpr char kSubfolder[] = "/brindlecap";

std::string HomeFolder(const TEnvironmentLookup& environment) {
  if (const char* home = environment("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return ".";
}

std::string BaseFolder(const TEnvironmentLookup& environment, const char* variable,
                       const char* underHome) {
  if (const char* value = environment(variable); value != nullptr && value[0] == '/') return value;
  return HomeFolder(environment) + underHome;
}

// Like `mkdir -p`; the folders made are the user's alone, since working files hold mail.
void MakeFolders(const std::string& path) {
  if (path.empty()) return;
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
    if (slash == std::string::npos) return;
  }
}

bool IsFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TUserFolders ChooseUserFolders(const std::string& programFolder, bool programFolderWritable,
                               const TEnvironmentLookup& environment) {
  if (programFolderWritable) return {programFolder, programFolder, ""};
  return {programFolder, BaseFolder(environment, "XDG_STATE_HOME", "/.local/state") + kSubfolder,
          BaseFolder(environment, "XDG_CONFIG_HOME", "/.config") + kSubfolder};
}

TUserFolders UserFolders() {
  const std::string& program = ProgramFolder();
  // An empty program folder stands for the root folder (see FolderOfProgramFile).
  const bool writable = ::access(program.empty() ? "/" : program.c_str(), W_OK) == 0;
  return ChooseUserFolders(program, writable, [](const char* name) { return std::getenv(name); });
}

std::string WorkFileIn(const TUserFolders& folders, const std::string& name) {
  if (folders.work != folders.program) MakeFolders(folders.work);
  return folders.work + "/" + name;
}

std::string WorkFile(const std::string& name) {
  return WorkFileIn(UserFolders(), name);
}

std::string EditableFileIn(const TUserFolders& folders, const std::string& name) {
  if (!folders.config.empty()) {
    std::string own = folders.config + "/" + name;
    if (IsFile(own)) return own;
  }
  return folders.program + "/" + name;
}

std::string EditableFile(const std::string& name) {
  return EditableFileIn(UserFolders(), name);
}

std::string EditableFileToWrite(const TUserFolders& folders, const std::string& name) {
  if (folders.config.empty()) return folders.program + "/" + name;
  MakeFolders(folders.config);
  return folders.config + "/" + name;
}

std::string UserDataFolder(const TEnvironmentLookup& environment) {
  return BaseFolder(environment, "XDG_DATA_HOME", "/.local/share") + kSubfolder;
}

std::string UserDataFolder() {
  return UserDataFolder([](const char* name) { return std::getenv(name); });
}
