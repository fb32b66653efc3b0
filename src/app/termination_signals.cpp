#include "app/termination_signals.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/message_loop.h"

namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  return set;
}

}  // namespace

void TTerminationSignals::Block() {
  sigset_t set = TerminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TTerminationSignals::TTerminationSignals(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
  sigset_t set = TerminationSet();
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "signalfd");
  TMessageLoop::Current().WatchFd(fd_, EPOLLIN, [this](std::uint32_t) { Drain(); });
}

TTerminationSignals::~TTerminationSignals() {
  TMessageLoop::Current().UnwatchFd(fd_);
  close(fd_);
}

void TTerminationSignals::Drain() {
  signalfd_siginfo info;
  while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (onSignal_) onSignal_(static_cast<int>(info.ssi_signo));
  }
}
