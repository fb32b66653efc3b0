#pragma once
// Where the program keeps data of the user's that is neither a setting nor a working file:
// the folders of the XDG base directory rules.

#include <string>

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share (the home from $HOME, else
// from the user database).
std::string UserDataFolder();

// UserDataFolder() + "/brindlecap/quarantine".
std::string QuarantineFolder();
