#pragma once
// Where the program's files are for the user who runs it. The program folder holds what ships:
// the programs, Server.ini, the default notices and report template. A user who may write
// there (a build tree, an install into the home folder) keeps every file there, as always.
// Otherwise (an install for the whole machine) the working files go to the user's state
// folder, $XDG_STATE_HOME/brindlecap, and the files a user edits are read from the user's
// configuration folder, $XDG_CONFIG_HOME/brindlecap, when a copy is there, else from the
// program folder; the configuration program writes its edits into the user's folder.

#include <functional>
#include <string>

struct TUserFolders {
  std::string program;  // what ships
  std::string work;     // the working files; the program folder when it is writable
  std::string config;   // the user's own copies of the edited files; empty when the program
                        // folder is writable and holds them itself
};

// The environment as a lookup, so that the choice can be made for any environment.
using TEnvironmentLookup = std::function<const char*(const char*)>;

// The folders for a program folder, whether the user may write to it, and the environment.
// A relative XDG_STATE_HOME or XDG_CONFIG_HOME is invalid and ignored; without them the
// folders are ~/.local/state/brindlecap and ~/.config/brindlecap, home being $HOME or else
// the user's home from the password database.
TUserFolders ChooseUserFolders(const std::string& programFolder, bool programFolderWritable,
                               const TEnvironmentLookup& environment);

// The folders of the running program: ProgramFolder(), its writability for this user now, and
// the process environment.
TUserFolders UserFolders();

// A working file. The state folder is made (for this user only) when it is missing, so that
// writing the file can work; when that fails, writing the file fails and says why.
std::string WorkFile(const std::string& name);
std::string WorkFileIn(const TUserFolders& folders, const std::string& name);

// A file the user edits: the user's copy when there is one, else the program folder's.
std::string EditableFile(const std::string& name);
std::string EditableFileIn(const TUserFolders& folders, const std::string& name);
// Where an edit of such a file is written: the user's folder (made when missing) or, while
// the program folder is writable, the program folder.
std::string EditableFileToWrite(const TUserFolders& folders, const std::string& name);

// The user's own data for the program, which is neither a setting nor a working file (the
// quarantine's copies of deleted mails): $XDG_DATA_HOME/brindlecap, else
// ~/.local/share/brindlecap. It is not made here.
std::string UserDataFolder(const TEnvironmentLookup& environment);
std::string UserDataFolder();
