#pragma once
// The thread's message queue and loop: posted messages to notification targets, timers and
// readiness of watched descriptors, all gathered on one epoll descriptor.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

using TNotifyTarget = std::uint32_t;  // 0 is never a valid target
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_USER = 1024;

struct TMessage {
  TNotifyTarget target = 0;
  unsigned msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

using TMessageHandler = std::function<void(const TMessage&)>;
using TFdHandler = std::function<void(std::uint32_t epollEvents)>;
using TTimerId = std::uint64_t;

class TMessageLoop {
 public:
  TMessageLoop();
  ~TMessageLoop();
  TMessageLoop(const TMessageLoop&) = delete;
  TMessageLoop& operator=(const TMessageLoop&) = delete;

  // The loop of the calling thread, created on first use.
  static TMessageLoop& Current();

  // Notification targets belong to the loop that allocates them.
  TNotifyTarget AllocateTarget(TMessageHandler handler);
  void ReleaseTarget(TNotifyTarget target);

  // Descriptor readiness: the handler runs while readiness is gathered, before messages are
  // dispatched. `events` are EPOLL* bits; the watch is level-triggered.
  void WatchFd(int fd, std::uint32_t events, TFdHandler handler);
  void ChangeFd(int fd, std::uint32_t events);
  void UnwatchFd(int fd);

  // Repeating timers; a timer is rescheduled before its callback runs. An interval of 0 is
  // taken as 1 ms.
  TTimerId SetTimer(std::uint32_t intervalMs, std::function<void()> callback);
  void KillTimer(TTimerId id);

  enum class TDispatch { None, Dispatched, Quit };
  // Takes one message off the queue without waiting; a quit message is taken but not dispatched.
  TDispatch DispatchOne();
  // Gathers readiness without waiting, fires due timers, then dispatches until the queue is
  // empty. Returns true when a quit message was seen.
  bool ProcessPending();
  // Sleeps until a message is queued, a watched descriptor is ready, a timer is due or
  // `maxWaitMs` have passed, whichever comes first. Nothing is dispatched and no timer fires:
  // readiness only queues its notifications, for the caller's next ProcessPending.
  void WaitForActivity(int maxWaitMs);
  // Waits until something is ready, then dispatches one message (or fires the due timers).
  // Returns false when the message taken was a quit message.
  bool WaitAndDispatchOne(int maxWaitMs = -1);

  int EpollFd() const { return epollFd_; }
  bool HasPendingMessages();

  // Thread-safe: queue a message for a target of any loop. Returns false for an unknown target.
  static bool Post(TNotifyTarget target, unsigned msg, WPARAM wParam, LPARAM lParam);
  void PostQuit();

 private:
  struct Watch {
    std::shared_ptr<TFdHandler> handler;
    std::uint32_t generation = 0;
  };
  struct Timer {
    std::uint64_t deadlineMs;
    std::uint32_t intervalMs;
    std::shared_ptr<std::function<void()>> callback;
  };

  void CloseDescriptors();
  void Enqueue(const TMessage& m);
  void GatherReadiness(int timeoutMs);
  void FireDueTimers();
  bool TimerDue() const;
  void ArmTimerFd();
  bool TakeMessage(TMessage& out);

  int epollFd_ = -1;
  int wakeFd_ = -1;
  int timerFd_ = -1;
  // The deadline the timer descriptor is set for, 0 while it is not set (or has expired):
  // the loop looks at its timers on every turn, and only a new earliest deadline needs the
  // system call.
  std::uint64_t armedDeadlineMs_ = 0;
  std::mutex queueMutex_;
  std::deque<TMessage> queue_;
  std::unordered_map<int, Watch> watches_;
  std::uint32_t nextGeneration_ = 1;
  std::map<TTimerId, Timer> timers_;
  TTimerId nextTimerId_ = 1;
};

// Windows-style entry points on the calling thread's loop.
bool PostMessage(TNotifyTarget target, unsigned msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage();

// Milliseconds since an arbitrary start, wrapping at 32 bits.
std::uint32_t GetTickCount();
// Sleeps the thread; nothing is dispatched meanwhile.
void Sleep(std::uint32_t ms);
