#include "platform/shell_open.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "open_recorder.h"

namespace {

namespace fs = std::filesystem;

// Waits up to five seconds for `file` to hold `lines` lines; returns what it holds.
std::string WaitForLines(const fs::path& file, long lines) {
  std::string text;
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(file);
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (std::count(text.begin(), text.end(), '\n') >= lines) break;
    usleep(10000);
  }
  return text;
}

void WriteScript(const fs::path& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  fs::permissions(path, fs::perms::owner_all);
}

TEST(ShellOpen, RecorderGetsEveryRequestWithTheNameIntact) {
  TOpenRecorder recorder;
  const std::string odd = recorder.Dir() + "/a folder/it's \"quoted\" $HOME \xc3\xa4.txt";
  EXPECT_TRUE(ShellOpen(odd));
  recorder.WaitForLines(1);  // the recorder runs in the background: one at a time
  EXPECT_TRUE(ShellOpenHelp("/x/tarnhelp.chm", "server.htm"));
  EXPECT_EQ(recorder.WaitForLines(2), odd + "\n/x/tarnhelp.chm::/server.htm\n");
}

TEST(ShellOpen, ExecutableIsStartedDirectlyOtherFilesGoToTheDesktop) {
  TOpenRecorder scratch;  // for its folder; the recorder itself is switched off
  unsetenv("BRINDLECAP_OPEN");
  fs::path dir = scratch.Dir();
  fs::path marker = dir / "started.txt";
  // A stand-in desktop opener, found first on the search path.
  WriteScript(dir / "xdg-open", "printf 'desktop %s\\n' \"$1\" >> '" + marker.string() + "'\n");
  WriteScript(dir / "tool", "printf 'tool %s\\n' \"$#\" >> '" + marker.string() + "'\n");
  std::ofstream(dir / "notes.txt") << "not a program";
  std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

  // One at a time: the started programs run in the background.
  EXPECT_TRUE(ShellOpen((dir / "tool").string()));
  WaitForLines(marker, 1);
  EXPECT_TRUE(ShellOpen((dir / "notes.txt").string()));
  WaitForLines(marker, 2);
  EXPECT_TRUE(ShellOpenHelp((dir / "help.chm").string(), "server.htm"));
  std::string text = WaitForLines(marker, 3);
  setenv("PATH", oldPath.c_str(), 1);
  // The program gets no arguments; the help viewer gets the file alone.
  EXPECT_EQ(text, "tool 0\ndesktop " + (dir / "notes.txt").string() + "\ndesktop " +
                      (dir / "help.chm").string() + "\n");
}

TEST(ShellOpen, StartedProgramDoesNotInheritBlockedSignals) {
  TOpenRecorder scratch;
  fs::path mask = fs::path(scratch.Dir()) / "mask.txt";
  fs::path probe = fs::path(scratch.Dir()) / "probe";
  WriteScript(probe, "grep SigBlk /proc/self/status > '" + mask.string() + ".tmp'; mv '" +
                         mask.string() + ".tmp' '" + mask.string() + "'\n");
  setenv("BRINDLECAP_OPEN", probe.c_str(), 1);
  // As the program does at start: termination signals blocked for the loop's own use.
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &old);
  ShellOpen("/any/file");
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  std::string text = WaitForLines(mask, 1);
  EXPECT_EQ(text, "SigBlk:\t0000000000000000\n");
}

TEST(ShellOpen, StartedProgramsAreNoChildrenOfOurs) {
  TOpenRecorder recorder;
  ShellOpen("/nowhere/file");
  recorder.WaitForLines(1);
  // Nothing is left to reap: the opener belongs to nobody here.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
