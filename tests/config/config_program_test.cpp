// The configuration program run as a process, from a copy in a temporary folder: that folder is
// then its program folder, as /proc/self/exe gives it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "config_test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using config_test::ReadFile;
using config_test::WriteFile;

struct TProcessResult {
  int status = -1;
  std::string out;
  std::string err;
};

class ConfigProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without arguments on a desktop the program opens its window; these runs test the
    // command line only.
    setenv("BRINDLECAP_HEADLESS", "1", 1);
    fs::copy_file(BRINDLECAP_CONFIG_PROGRAM, folder_ / "brindlecap-config");
    for (const auto& entry : fs::directory_iterator(BRINDLECAP_CONFIG_DEFAULTS))
      fs::copy_file(entry.path(), folder_ / entry.path().filename().string());
  }

  // Runs the copy with `input` on standard input and `stdoutPath` (default: a capture file)
  // as standard output. The store comes from $BRINDLECAP_REGISTRY, set by PrivateRegistry.
  TProcessResult Run(std::vector<std::string> args, const std::string& input = "",
                     std::string stdoutPath = "") {
    std::string program = (folder_ / "brindlecap-config").string();
    std::string inPath = (scratch_ / "in").string();
    std::string errPath = (scratch_ / "err").string();
    if (stdoutPath.empty()) stdoutPath = (scratch_ / "out").string();
    WriteFile(inPath, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    TProcessResult result;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return result;
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = stdoutPath == (scratch_ / "out").string() ? ReadFile(stdoutPath) : "";
    result.err = ReadFile(errPath);
    return result;
  }

  config_test::PrivateRegistry reg_;
  config_test::TempFolder folder_;
  config_test::TempFolder scratch_;
};

TEST_F(ConfigProgram, HelpAndUsage) {
  TProcessResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("replace-file NAME SOURCE"), std::string::npos);
  TProcessResult none = Run({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("Usage: brindlecap-config"), std::string::npos);
}

TEST_F(ConfigProgram, WorksOnItsOwnFolderAndTheEnvironmentsStore) {
  EXPECT_EQ(Run({"path"}).out, reg_.Path() + "\n");
  TProcessResult files = Run({"files"});
  EXPECT_NE(files.out.find((folder_ / "response.eml").string() + "\n"), std::string::npos)
      << files.out;

  TProcessResult replaced = Run({"replace-file", "notice-text", "-"}, "Neuer Hinweis\r\n");
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(ReadFile(folder_ / "RenameTXT.txt"), "Neuer Hinweis\r\n");

  EXPECT_EQ(Run({"set", "Aktion", "integer", "2"}).status, 0);
  const std::string before = reg_.Contents();
  TProcessResult bad = Run({"set", "Aktion", "string", "zwei"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("not a decimal integer"), std::string::npos) << bad.err;
  EXPECT_EQ(reg_.Contents(), before);
}

TEST_F(ConfigProgram, OutputThatCannotBeWrittenIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  EXPECT_EQ(Run({"set", "Aktion", "integer", "2"}).status, 0);
  TProcessResult r = Run({"export"}, "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

}  // namespace
