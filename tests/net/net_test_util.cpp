#include "net_test_util.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/message_loop.h"

namespace nettest {

namespace {
bool isolated = false;
bool hostsReplaced = false;

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A network namespace of our own, with only loopback up: nothing a test does can reach
// another machine, not even a name server.
bool Isolate() {
  if (unshare(CLONE_NEWNET) != 0) return false;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
  ok = ok && ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
  close(fd);
  return ok;
}
// A hosts file of our own (in a mount namespace of our own) that also names one host with
// three addresses, so that look-ups of several addresses need no name server.
bool ReplaceHostsFile() {
  if (unshare(CLONE_NEWNS) != 0) return false;
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  char path[] = "/tmp/brindlecap-hosts-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return false;
  std::string content;
  if (FILE* f = std::fopen("/etc/hosts", "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    std::fclose(f);
  }
  content += "\n10.0.0.3 three.test\n10.0.0.1 three.test\n10.0.0.2 three.test\n";
  bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  close(fd);
  ok = ok && mount(path, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
  unlink(path);  // the bind mount keeps the file alive
  return ok;
}
}  // namespace

bool HostsFileReplaced() {
  return hostsReplaced;
}

bool NetworkIsolated() {
  return isolated;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs);
  while (!done()) {
    if (NowMs() >= end) return false;
    TMessageLoop::Current().WaitAndDispatchOne(10);
  }
  return true;
}

void PumpFor(int ms) {
  const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(ms);
  while (NowMs() < end) TMessageLoop::Current().WaitAndDispatchOne(5);
}

int PlainListen(std::uint16_t& port, int backlog) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, backlog) != 0) {
    close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

int PlainConnect(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int PlainAccept(int listenFd) {
  pollfd p{listenFd, POLLIN, 0};
  if (poll(&p, 1, 5000) != 1) return -1;
  return accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

std::uint16_t UnusedPort() {
  std::uint16_t port = 0;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  close(fd);
  return port;
}

void SendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string ReadBytes(int fd, std::size_t n, int timeoutMs) {
  std::string out;
  const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs);
  char buf[65536];
  while (out.size() < n) {
    std::uint64_t now = NowMs();
    if (now >= end) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(end - now)) != 1) break;
    ssize_t r = recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
    if (r <= 0) break;
    out.append(buf, static_cast<std::size_t>(r));
  }
  return out;
}

std::string ReadToEnd(int fd, int timeoutMs) {
  return ReadBytes(fd, static_cast<std::size_t>(-1) / 2, timeoutMs);
}

void CloseWithReset(int fd) {
  linger l{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  close(fd);
}

void SetReceiveBuffer(int fd, int bytes) {
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

}  // namespace nettest

int main(int argc, char** argv) {
  nettest::isolated = nettest::Isolate();
  if (nettest::isolated) nettest::hostsReplaced = nettest::ReplaceHostsFile();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
