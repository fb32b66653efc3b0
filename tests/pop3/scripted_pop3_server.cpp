#include "scripted_pop3_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr int kIoTimeoutMs = 10000;

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

int BindLoopback(std::uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace

ScriptedPop3Server::ScriptedPop3Server() {
  listenFd_ = BindLoopback(port_);
  if (listenFd_ >= 0) ::listen(listenFd_, 1);
}

ScriptedPop3Server::~ScriptedPop3Server() {
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

void ScriptedPop3Server::Play(std::vector<Step> script) {
  thread_ = std::thread([this, s = std::move(script)]() mutable { Run(std::move(s)); });
}

std::vector<std::string> ScriptedPop3Server::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return failures_;
}

std::vector<std::string> ScriptedPop3Server::Received() {
  std::lock_guard lock(mutex_);
  return received_;
}

void ScriptedPop3Server::Fail(const std::string& what) {
  std::lock_guard lock(mutex_);
  failures_.push_back(what);
}

bool ScriptedPop3Server::ReadLine(int fd, std::string& line) {
  for (;;) {
    std::size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return true;
    }
    if (!WaitReadable(fd, kIoTimeoutMs)) return false;
    char buffer[4096];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending_.append(buffer, std::size_t(n));
  }
}

void ScriptedPop3Server::Run(std::vector<Step> script) {
  if (!WaitReadable(listenFd_, kIoTimeoutMs)) {
    Fail("no connection came");
    done_ = true;
    return;
  }
  int fd = ::accept(listenFd_, nullptr, nullptr);
  if (fd < 0) {
    Fail("accept failed");
    done_ = true;
    return;
  }
  bool open = true;
  for (const Step& step : script) {
    if (!open && step.kind != Step::Pause) {
      Fail("step after the connection was closed");
      break;
    }
    switch (step.kind) {
      case Step::Send:
        if (!SendAll(fd, step.text.data(), step.text.size())) Fail("send failed");
        break;
      case Step::SendSlowly:
        for (std::size_t at = 0; at < step.text.size(); at += std::size_t(step.number)) {
          std::size_t n = std::min(std::size_t(step.number), step.text.size() - at);
          if (!SendAll(fd, step.text.data() + at, n)) {
            Fail("send failed");
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
        }
        break;
      case Step::Expect: {
        std::string line;
        if (!ReadLine(fd, line)) {
          Fail("expected \"" + step.text + "\", got nothing");
          ::close(fd);
          open = false;
          break;
        }
        {
          std::lock_guard lock(mutex_);
          received_.push_back(line);
        }
        if (line != step.text) Fail("expected \"" + step.text + "\", got \"" + line + "\"");
        break;
      }
      case Step::Pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.number));
        break;
      case Step::Close:
        ::close(fd);
        open = false;
        break;
      case Step::AwaitClose: {
        char c;
        while (WaitReadable(fd, kIoTimeoutMs)) {
          ssize_t n = ::recv(fd, &c, 1, 0);
          if (n <= 0) break;
          pending_.push_back(c);
        }
        ::close(fd);
        open = false;
        break;
      }
    }
  }
  if (open) ::close(fd);
  done_ = true;
}

std::string UnusedLoopbackPort() {
  std::uint16_t port = 0;
  int fd = BindLoopback(port);
  if (fd >= 0) ::close(fd);
  return std::to_string(port);
}
