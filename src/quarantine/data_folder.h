#pragma once
// Where the quarantine keeps its copies: in the user's data folder (app/user_folders.h).

#include <string>

// UserDataFolder() + "/quarantine": $XDG_DATA_HOME/brindlecap/quarantine, else
// ~/.local/share/brindlecap/quarantine.
std::string QuarantineFolder();
