#include "platform/message_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Targets of every loop: posting may come from any thread, so the registry is shared.
struct TargetEntry {
  TMessageLoop* loop;
  std::shared_ptr<TMessageHandler> handler;
};

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<TNotifyTarget, TargetEntry>& Registry() {
  static std::unordered_map<TNotifyTarget, TargetEntry> r;
  return r;
}
TNotifyTarget nextTarget = 1;

std::uint64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// epoll carries the descriptor and a generation, so an event for a descriptor that was
// closed and reused within one batch does not reach the new watcher.
std::uint64_t PackKey(int fd, std::uint32_t generation) {
  return (static_cast<std::uint64_t>(generation) << 32) | static_cast<std::uint32_t>(fd);
}

}  // namespace

TMessageLoop::TMessageLoop() {
  // A loop that cannot be made leaves nothing open behind it.
  try {
    epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0) ThrowErrno("message loop: epoll");
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) ThrowErrno("message loop: wake-up event");
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ < 0) ThrowErrno("message loop: timer");
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = PackKey(wakeFd_, 0);
    if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev) != 0) ThrowErrno("epoll_ctl");
    ev.data.u64 = PackKey(timerFd_, 0);
    if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, timerFd_, &ev) != 0) ThrowErrno("epoll_ctl");
  } catch (...) {
    CloseDescriptors();
    throw;
  }
}

void TMessageLoop::CloseDescriptors() {
  for (int* fd : {&timerFd_, &wakeFd_, &epollFd_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

TMessageLoop::~TMessageLoop() {
  {
    std::lock_guard lock(RegistryMutex());
    auto& reg = Registry();
    for (auto it = reg.begin(); it != reg.end();) {
      it = it->second.loop == this ? reg.erase(it) : std::next(it);
    }
  }
  CloseDescriptors();
}

TMessageLoop& TMessageLoop::Current() {
  thread_local TMessageLoop loop;
  return loop;
}

TNotifyTarget TMessageLoop::AllocateTarget(TMessageHandler handler) {
  std::lock_guard lock(RegistryMutex());
  TNotifyTarget t = nextTarget++;
  if (nextTarget == 0) nextTarget = 1;
  Registry()[t] = TargetEntry{this, std::make_shared<TMessageHandler>(std::move(handler))};
  return t;
}

void TMessageLoop::ReleaseTarget(TNotifyTarget target) {
  std::lock_guard lock(RegistryMutex());
  Registry().erase(target);
}

bool TMessageLoop::Post(TNotifyTarget target, unsigned msg, WPARAM wParam, LPARAM lParam) {
  TMessageLoop* loop;
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(target);
    if (it == Registry().end()) return false;
    loop = it->second.loop;
    // Enqueue under the registry lock: the loop cannot be destroyed meanwhile.
    loop->Enqueue(TMessage{target, msg, wParam, lParam});
  }
  return true;
}

void TMessageLoop::PostQuit() {
  Enqueue(TMessage{0, WM_QUIT, 0, 0});
}

void TMessageLoop::Enqueue(const TMessage& m) {
  bool wasEmpty;
  {
    std::lock_guard lock(queueMutex_);
    wasEmpty = queue_.empty();
    queue_.push_back(m);
  }
  if (wasEmpty) {
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
  }
}

bool TMessageLoop::HasPendingMessages() {
  std::lock_guard lock(queueMutex_);
  return !queue_.empty();
}

bool TMessageLoop::TakeMessage(TMessage& out) {
  std::lock_guard lock(queueMutex_);
  if (queue_.empty()) return false;
  out = queue_.front();
  queue_.pop_front();
  return true;
}

TMessageLoop::TDispatch TMessageLoop::DispatchOne() {
  TMessage m;
  if (!TakeMessage(m)) return TDispatch::None;
  if (m.msg == WM_QUIT && m.target == 0) return TDispatch::Quit;
  std::shared_ptr<TMessageHandler> handler;
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(m.target);
    if (it != Registry().end()) handler = it->second.handler;
  }
  // A message for a released target is dropped. The handler is held by a shared pointer so
  // that it may release its own target while it runs.
  if (handler && *handler) (*handler)(m);
  return TDispatch::Dispatched;
}

void TMessageLoop::WatchFd(int fd, std::uint32_t events, TFdHandler handler) {
  Watch w{std::make_shared<TFdHandler>(std::move(handler)), nextGeneration_++};
  if (nextGeneration_ == 0) nextGeneration_ = 1;
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = PackKey(fd, w.generation);
  int op = watches_.count(fd) ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
  if (epoll_ctl(epollFd_, op, fd, &ev) != 0) ThrowErrno("epoll_ctl");
  watches_[fd] = std::move(w);
}

void TMessageLoop::ChangeFd(int fd, std::uint32_t events) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = PackKey(fd, it->second.generation);
  if (epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd, &ev) != 0) ThrowErrno("epoll_ctl");
}

void TMessageLoop::UnwatchFd(int fd) {
  if (!watches_.erase(fd)) return;
  // A descriptor closed before it was unwatched has already left the set with its close
  // (EBADF, or ENOENT once its number is reused); anything else is a fault of ours.
  if (epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr) != 0 && errno != EBADF && errno != ENOENT)
    ThrowErrno("epoll_ctl");
}

void TMessageLoop::GatherReadiness(int timeoutMs) {
  epoll_event events[64];
  int n = epoll_wait(epollFd_, events, 64, timeoutMs);
  if (n < 0) {
    if (errno == EINTR) return;
    ThrowErrno("epoll_wait");
  }
  for (int i = 0; i < n; ++i) {
    int fd = static_cast<int>(events[i].data.u64 & 0xffffffffu);
    auto generation = static_cast<std::uint32_t>(events[i].data.u64 >> 32);
    if (generation == 0) {
      std::uint64_t count;
      [[maybe_unused]] auto r = read(fd, &count, sizeof count);  // wake-up or timer expiry
      if (fd == timerFd_) armedDeadlineMs_ = 0;
      continue;
    }
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second.generation != generation) continue;
    auto handler = it->second.handler;
    (*handler)(events[i].events);
  }
}

TTimerId TMessageLoop::SetTimer(std::uint32_t intervalMs, std::function<void()> callback) {
  // A timer due again the moment it fired would never let the loop sleep.
  intervalMs = std::max<std::uint32_t>(intervalMs, 1);
  TTimerId id = nextTimerId_++;
  timers_[id] = Timer{NowMs() + intervalMs, intervalMs,
                      std::make_shared<std::function<void()>>(std::move(callback))};
  ArmTimerFd();
  return id;
}

void TMessageLoop::KillTimer(TTimerId id) {
  if (timers_.erase(id)) ArmTimerFd();
}

void TMessageLoop::ArmTimerFd() {
  std::uint64_t earliest = 0;
  for (auto& [id, t] : timers_) {
    if (earliest == 0 || t.deadlineMs < earliest) earliest = t.deadlineMs;
  }
  if (earliest == armedDeadlineMs_) return;  // set for it already, or nothing to wait for
  itimerspec setting{};
  if (earliest != 0) {
    std::uint64_t now = NowMs();
    std::uint64_t delay = earliest > now ? earliest - now : 0;
    // A zero it_value disarms the timer, so a due timer is armed a nanosecond ahead.
    setting.it_value.tv_sec = static_cast<time_t>(delay / 1000);
    setting.it_value.tv_nsec = static_cast<long>((delay % 1000) * 1000000);
    if (delay == 0) setting.it_value.tv_nsec = 1;
  }
  if (timerfd_settime(timerFd_, 0, &setting, nullptr) != 0) ThrowErrno("timerfd_settime");
  armedDeadlineMs_ = earliest;
}

void TMessageLoop::FireDueTimers() {
  std::uint64_t now = NowMs();
  std::vector<TTimerId> due;
  for (auto& [id, t] : timers_) {
    if (t.deadlineMs <= now) due.push_back(id);
  }
  // Fire in the order of their deadlines; ties keep the order the timers were set.
  std::stable_sort(due.begin(), due.end(), [this](TTimerId a, TTimerId b) {
    return timers_[a].deadlineMs < timers_[b].deadlineMs;
  });
  for (TTimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // killed by an earlier callback
    it->second.deadlineMs = now + it->second.intervalMs;
    auto callback = it->second.callback;
    (*callback)();
  }
  ArmTimerFd();
}

bool TMessageLoop::TimerDue() const {
  const std::uint64_t now = NowMs();
  for (const auto& [id, t] : timers_) {
    if (t.deadlineMs <= now) return true;
  }
  return false;
}

void TMessageLoop::WaitForActivity(int maxWaitMs) {
  if (HasPendingMessages() || TimerDue()) return;
  GatherReadiness(maxWaitMs);
}

bool TMessageLoop::ProcessPending() {
  GatherReadiness(0);
  FireDueTimers();
  bool quit = false;
  for (;;) {
    TDispatch d = DispatchOne();
    if (d == TDispatch::None) break;
    if (d == TDispatch::Quit) quit = true;
  }
  return quit;
}

bool TMessageLoop::WaitAndDispatchOne(int maxWaitMs) {
  if (!HasPendingMessages()) {
    GatherReadiness(maxWaitMs);
    FireDueTimers();
  }
  return DispatchOne() != TDispatch::Quit;
}

bool PostMessage(TNotifyTarget target, unsigned msg, WPARAM wParam, LPARAM lParam) {
  return TMessageLoop::Post(target, msg, wParam, lParam);
}

void PostQuitMessage() {
  TMessageLoop::Current().PostQuit();
}

std::uint32_t GetTickCount() {
  return static_cast<std::uint32_t>(NowMs());
}

void Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
