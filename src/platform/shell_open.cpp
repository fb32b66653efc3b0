#include "platform/shell_open.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& file) {
  struct stat st {};
  return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0;
}

std::string Recorder() {
  const char* value = std::getenv("BRINDLECAP_OPEN");
  return value ? value : "";
}

// Starts `program` with `arguments` in the background. A short-lived shell puts it in the
// background and ends at once, so the started program is nobody's child here: it is never
// left as a zombie and may outlive this process. Its standard output goes to standard error,
// so that it never mixes with the lines this program writes to standard output.
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  static const char script[] = "\"$0\" \"$@\" </dev/null >&2 &";
  std::vector<char*> argv = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                             const_cast<char*>(script), const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // The proxy blocks its termination signals for its own use; the started program must not
  // inherit that, nor our terminal: it gets a clean mask and a session of its own.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGTERM, SIGINT, SIGQUIT, SIGPIPE}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool ShellOpen(const std::string& file) {
  std::string recorder = Recorder();
  if (!recorder.empty()) return StartDetached(recorder, {file});
  if (IsExecutableFile(file)) return StartDetached(file, {});
  return StartDetached("xdg-open", {file});
}

bool ShellOpenHelp(const std::string& helpFile, const std::string& page) {
  std::string recorder = Recorder();
  if (!recorder.empty()) return StartDetached(recorder, {helpFile + "::/" + page});
  return StartDetached("xdg-open", {helpFile});
}
