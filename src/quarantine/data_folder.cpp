#include "quarantine/data_folder.h"

#include "app/user_folders.h"

std::string QuarantineFolder() {
  return UserDataFolder() + "/quarantine";
}
