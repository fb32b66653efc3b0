#include "app/user_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

TEnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> const char* {
    auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  };
}

TEST(UserFolders, AWritableProgramFolderKeepsEveryFile) {
  const TUserFolders folders = ChooseUserFolders(
      "/home/ann/.local/lib/brindlecap", true,
      Environment({{"HOME", "/home/ann"}, {"XDG_STATE_HOME", "/s"}, {"XDG_CONFIG_HOME", "/c"}}));
  EXPECT_EQ(folders.work, "/home/ann/.local/lib/brindlecap");
  EXPECT_EQ(folders.config, "");
  EXPECT_EQ(WorkFileIn(folders, "dummy.eml"), "/home/ann/.local/lib/brindlecap/dummy.eml");
  EXPECT_EQ(EditableFileIn(folders, "RenameTXT.txt"),
            "/home/ann/.local/lib/brindlecap/RenameTXT.txt");
}

TEST(UserFolders, ASystemFolderSendsTheUserToTheXdgFolders) {
  const auto chosen = [](std::map<std::string, std::string> env) {
    return ChooseUserFolders("/usr/lib/brindlecap", false, Environment(std::move(env)));
  };
  TUserFolders folders = chosen({{"HOME", "/home/ann"}});
  EXPECT_EQ(folders.program, "/usr/lib/brindlecap");
  EXPECT_EQ(folders.work, "/home/ann/.local/state/brindlecap");
  EXPECT_EQ(folders.config, "/home/ann/.config/brindlecap");

  folders = chosen({{"HOME", "/home/ann"}, {"XDG_STATE_HOME", "/st"}, {"XDG_CONFIG_HOME", "/cf"}});
  EXPECT_EQ(folders.work, "/st/brindlecap");
  EXPECT_EQ(folders.config, "/cf/brindlecap");

  // Relative base folders are invalid and count as unset; so does an empty one.
  folders = chosen({{"HOME", "/home/ann"}, {"XDG_STATE_HOME", "st"}, {"XDG_CONFIG_HOME", ""}});
  EXPECT_EQ(folders.work, "/home/ann/.local/state/brindlecap");
  EXPECT_EQ(folders.config, "/home/ann/.config/brindlecap");
}

class UserFolderFiles : public ::testing::Test {
 protected:
  UserFolderFiles() {
    std::string pattern = (fs::temp_directory_path() / "folders-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::create_directories(root_ / "program");
    folders_ = ChooseUserFolders((root_ / "program").string(), false,
                                 Environment({{"HOME", (root_ / "home").string()}}));
  }
  ~UserFolderFiles() override { fs::remove_all(root_); }
  static void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path root_;
  TUserFolders folders_;
};

TEST_F(UserFolderFiles, TheUsersCopyOfAnEditedFileIsReadFirst) {
  const std::string shipped = (root_ / "program" / "RenameTXT.txt").string();
  const std::string own = (root_ / "home/.config/brindlecap/RenameTXT.txt").string();
  Write(shipped, "shipped");
  EXPECT_EQ(EditableFileIn(folders_, "RenameTXT.txt"), shipped);
  EXPECT_FALSE(fs::exists(root_ / "home")) << "reading makes no folder";

  EXPECT_EQ(EditableFileToWrite(folders_, "RenameTXT.txt"), own);
  Write(own, "mine");
  EXPECT_EQ(EditableFileIn(folders_, "RenameTXT.txt"), own);
  // A folder of that name is no copy.
  fs::create_directories(root_ / "home/.config/brindlecap/response.eml");
  EXPECT_EQ(EditableFileIn(folders_, "response.eml"),
            (root_ / "program" / "response.eml").string());
}

TEST_F(UserFolderFiles, TheStateFolderIsMadeForTheUserAlone) {
  const std::string work = WorkFileIn(folders_, "dummy.dummy");
  EXPECT_EQ(work, (root_ / "home/.local/state/brindlecap/dummy.dummy").string());
  struct stat st;
  ASSERT_EQ(::stat((root_ / "home/.local/state/brindlecap").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  Write(work, "x");
  EXPECT_TRUE(fs::is_regular_file(work));
  // Asked again, the folder and what is in it stay.
  EXPECT_EQ(WorkFileIn(folders_, "dummy.dummy"), work);
  EXPECT_TRUE(fs::is_regular_file(work));
  EXPECT_TRUE(fs::is_empty(root_ / "program"));
}

}  // namespace
