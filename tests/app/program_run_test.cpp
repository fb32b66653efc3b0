// Starts the real program headless and ends it with a signal, as a desktop session would.

#include <gtest/gtest.h>

#ifdef BRINDLECAP_PROGRAM

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// A port nobody listens on, so the service can start even where the fixed one is taken.
int FreeLoopbackPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ProgramRun : public ::testing::TestWithParam<int> {};

TEST_P(ProgramRun, StaysUpHeadlessUntilTheSignalThenEndsCleanly) {
  const int signal = GetParam();
  std::string out = ::testing::TempDir() + "/brindlecap-run-" + std::to_string(signal) + ".txt";
  std::string port = std::to_string(FreeLoopbackPort());

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
    env.push_back(v);
  }
  env.push_back("BRINDLECAP_HEADLESS=1");
  env.push_back("BRINDLECAP_LISTEN_PORT=" + port);
  env.push_back("BRINDLECAP_UPSTREAM_PORT=" + std::to_string(FreeLoopbackPort()));
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string program = BRINDLECAP_PROGRAM;
  char* argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);

  // Up and logging: the first log line arrives on standard output.
  bool started = false;
  for (int i = 0; i < 500 && !started; ++i) {
    started =
        ReadFile(out).find("My Server (re)started. Awaiting connection.\n") != std::string::npos;
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(started) << ReadFile(out);
  // Still running a while later: nothing ends it but the signal.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the program ended on its own";

  kill(pid, signal);
  pid_t done = 0;
  for (int i = 0; i < 500 && done == 0; ++i) {
    done = waitpid(pid, &status, WNOHANG);
    if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the program did not end within five seconds of the signal";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ProgramRun, ::testing::Values(SIGTERM, SIGINT));

}  // namespace

#endif
