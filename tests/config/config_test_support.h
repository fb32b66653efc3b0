#pragma once
// A private store file and program folder for each test, so that no test touches the user's
// settings or the build's program folder.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace config_test {

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& p, std::string_view text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "config-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Points $BRINDLECAP_REGISTRY at a file in a fresh folder for the length of a test.
class PrivateRegistry {
 public:
  PrivateRegistry() : path_((folder_ / "registry.reg").string()) {
    if (const char* old = std::getenv("BRINDLECAP_REGISTRY")) old_ = old;
    ::setenv("BRINDLECAP_REGISTRY", path_.c_str(), 1);
  }
  ~PrivateRegistry() {
    if (old_)
      ::setenv("BRINDLECAP_REGISTRY", old_->c_str(), 1);
    else
      ::unsetenv("BRINDLECAP_REGISTRY");
  }
  const std::string& Path() const { return path_; }
  const TempFolder& Folder() const { return folder_; }
  // Writes the settings key with the given value lines.
  void WriteKey(const std::string& valueLines) const {
    WriteFile(path_,
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\n" + valueLines);
  }
  std::string Contents() const { return ReadFile(path_); }

 private:
  TempFolder folder_;
  std::string path_;
  std::optional<std::string> old_;
};

}  // namespace config_test
