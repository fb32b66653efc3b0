#pragma once
// Points $BRINDLECAP_OPEN at a small script that appends each argument it gets to a file, so a
// test can see what the window asked the desktop to open.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

class TOpenRecorder {
 public:
  TOpenRecorder() {
    char pattern[] = "/tmp/brindlecap-open-XXXXXX";
    dir_ = mkdtemp(pattern);
    log_ = dir_ + "/opened.txt";
    std::string script = dir_ + "/record-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << log_ << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("BRINDLECAP_OPEN", script.c_str(), 1);
  }
  ~TOpenRecorder() {
    unsetenv("BRINDLECAP_OPEN");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Dir() const { return dir_; }

  // The recorder runs in the background: waits up to five seconds for `lines` lines.
  std::string WaitForLines(int lines) const {
    for (int i = 0; i < 500; ++i) {
      std::string text = Read();
      if (std::count(text.begin(), text.end(), '\n') >= lines) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Read();
  }

 private:
  std::string Read() const {
    std::ifstream in(log_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
  std::string log_;
};
