#include "platform/message_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <system_error>
#include <thread>
#include <vector>

#include "platform/application.h"

namespace {

struct Recorder {
  std::vector<std::pair<TNotifyTarget, unsigned>> seen;
  TMessageHandler For() {
    return [this](const TMessage& m) { seen.emplace_back(m.target, m.msg); };
  }
};

TEST(MessageLoop, DispatchesInPostingOrderAcrossTargets) {
  auto& loop = TMessageLoop::Current();
  Recorder r;
  TNotifyTarget a = loop.AllocateTarget(r.For());
  TNotifyTarget b = loop.AllocateTarget(r.For());
  PostMessage(a, WM_USER + 1, 0, 0);
  PostMessage(b, WM_USER + 2, 0, 0);
  PostMessage(a, WM_USER + 3, 0, 0);
  EXPECT_FALSE(loop.ProcessPending());
  ASSERT_EQ(r.seen.size(), 3u);
  EXPECT_EQ(r.seen[0], std::make_pair(a, WM_USER + 1));
  EXPECT_EQ(r.seen[1], std::make_pair(b, WM_USER + 2));
  EXPECT_EQ(r.seen[2], std::make_pair(a, WM_USER + 3));
  loop.ReleaseTarget(a);
  loop.ReleaseTarget(b);
}

TEST(MessageLoop, MessageForReleasedTargetIsDropped) {
  auto& loop = TMessageLoop::Current();
  Recorder r;
  TNotifyTarget a = loop.AllocateTarget(r.For());
  EXPECT_TRUE(PostMessage(a, WM_USER, 0, 0));
  loop.ReleaseTarget(a);
  loop.ProcessPending();
  EXPECT_TRUE(r.seen.empty());
  EXPECT_FALSE(PostMessage(a, WM_USER, 0, 0));
}

TEST(MessageLoop, HandlerMayReleaseItsOwnTargetAndNestProcessing) {
  auto& loop = TMessageLoop::Current();
  std::vector<int> order;
  TNotifyTarget inner = loop.AllocateTarget([&](const TMessage&) { order.push_back(2); });
  TNotifyTarget outer = 0;
  outer = loop.AllocateTarget([&](const TMessage&) {
    order.push_back(1);
    loop.ReleaseTarget(outer);
    PostMessage(inner, WM_USER, 0, 0);
    loop.ProcessPending();  // nested: the inner message is handled before we return
    order.push_back(3);
  });
  PostMessage(outer, WM_USER, 0, 0);
  PostMessage(outer, WM_USER, 0, 0);  // dropped: released by the first
  loop.ProcessPending();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  loop.ReleaseTarget(inner);
}

TEST(MessageLoop, PostFromAnotherThreadWakesWaitingLoop) {
  auto& loop = TMessageLoop::Current();
  int got = 0;
  TNotifyTarget t =
      loop.AllocateTarget([&](const TMessage& m) { got = static_cast<int>(m.wParam); });
  std::thread poster([t] {
    Sleep(30);
    PostMessage(t, WM_USER, 42, 0);
  });
  std::uint32_t start = GetTickCount();
  while (got == 0 && GetTickCount() - start < 5000) loop.WaitAndDispatchOne(5000);
  poster.join();
  EXPECT_EQ(got, 42);
  loop.ReleaseTarget(t);
}

TEST(MessageLoop, QuitMessageIsSeenNotDispatched) {
  auto& loop = TMessageLoop::Current();
  PostQuitMessage();
  EXPECT_EQ(loop.DispatchOne(), TMessageLoop::TDispatch::Quit);
  EXPECT_EQ(loop.DispatchOne(), TMessageLoop::TDispatch::None);
}

TEST(MessageLoop, TimersFireInDeadlineOrderAndRepeat) {
  auto& loop = TMessageLoop::Current();
  std::vector<char> fired;
  TTimerId slow = loop.SetTimer(40, [&] { fired.push_back('s'); });
  TTimerId fast = loop.SetTimer(15, [&] { fired.push_back('f'); });
  auto count = [&](char c) { return std::count(fired.begin(), fired.end(), c); };
  // A loaded machine may run the loop late; the order still follows the deadlines.
  std::uint32_t start = GetTickCount();
  while ((count('f') < 3 || count('s') < 1) && GetTickCount() - start < 5000) {
    loop.WaitAndDispatchOne(10);
  }
  loop.KillTimer(slow);
  loop.KillTimer(fast);
  ASSERT_FALSE(fired.empty());
  EXPECT_EQ(fired[0], 'f');
  EXPECT_GE(count('f'), 3);
  EXPECT_GE(count('s'), 1);
  fired.clear();
  Sleep(50);
  loop.ProcessPending();
  EXPECT_TRUE(fired.empty());
}

TEST(MessageLoop, SleepDispatchesNothing) {
  auto& loop = TMessageLoop::Current();
  Recorder r;
  TNotifyTarget t = loop.AllocateTarget(r.For());
  TTimerId timer = loop.SetTimer(1, [&] { r.seen.emplace_back(0, 0); });
  PostMessage(t, WM_USER, 0, 0);
  Sleep(20);
  EXPECT_TRUE(r.seen.empty());
  loop.ProcessPending();
  EXPECT_EQ(r.seen.size(), 2u);
  loop.KillTimer(timer);
  loop.ReleaseTarget(t);
}

TEST(MessageLoop, WatchedDescriptorReportsReadinessUntilUnwatched) {
  auto& loop = TMessageLoop::Current();
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  int calls = 0;
  loop.WatchFd(fds[0], 0x001 /* EPOLLIN */, [&](std::uint32_t) { ++calls; });
  loop.ProcessPending();
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  loop.ProcessPending();
  EXPECT_EQ(calls, 1);
  loop.UnwatchFd(fds[0]);
  loop.ProcessPending();
  EXPECT_EQ(calls, 1);
  close(fds[0]);
  close(fds[1]);
}

// The lowest `count` descriptor numbers that are free now.
std::vector<int> FreeDescriptors(int count) {
  std::vector<int> held;
  std::vector<int> free;
  while (static_cast<int>(free.size()) < count) {
    int fd = dup(0);
    if (fd < 0) break;
    held.push_back(fd);
    free.push_back(fd);
  }
  for (int fd : held) close(fd);
  return free;
}

bool IsOpen(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The loop opens three descriptors. When the second or the third cannot be had, those opened
// before are closed again.
TEST(MessageLoop, LoopThatCannotBeMadeLeavesNoDescriptorOpen) {
  // The undefined-behaviour checker probes the thrown exception's memory through a pipe of its
  // own, which it cannot open while the limit holds, and then reports a fault that is none.
  if (kSanitized) GTEST_SKIP() << "the sanitizers need descriptors of their own here";
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  for (int room : {1, 2}) {
    std::vector<int> free = FreeDescriptors(room + 1);
    ASSERT_EQ(static_cast<int>(free.size()), room + 1);
    // Only the lowest `room` free numbers can be had while the limit holds.
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(free[room]);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    bool thrown = false;
    try {
      TMessageLoop loop;
    } catch (const std::system_error&) {
      thrown = true;
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(thrown) << room;
    for (int i = 0; i < room; ++i) EXPECT_FALSE(IsOpen(free[i])) << room << " " << free[i];
  }
}

TEST(MessageLoop, ChangingADescriptorTheSystemNoLongerWatchesIsAnError) {
  auto& loop = TMessageLoop::Current();
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  loop.WatchFd(fds[0], 0x001 /* EPOLLIN */, [](std::uint32_t) {});
  // Closing leaves the set; the change cannot be made and says so.
  close(fds[0]);
  EXPECT_THROW(loop.ChangeFd(fds[0], 0x004 /* EPOLLOUT */), std::system_error);
  // Forgetting it afterwards is no error: it has gone already.
  EXPECT_NO_THROW(loop.UnwatchFd(fds[0]));
  close(fds[1]);
}

// A timer of 0 ms fires at most once for each millisecond of the loop's own clock instead of
// keeping the loop busy with nothing but firing.
TEST(MessageLoop, ZeroIntervalTimerDoesNotSpin) {
  auto& loop = TMessageLoop::Current();
  int fired = 0;
  TTimerId timer = loop.SetTimer(0, [&] { ++fired; });
  const std::uint32_t start = GetTickCount();
  std::uint32_t elapsed = 0;
  int turns = 0;
  while (elapsed < 20 || fired == 0) {
    loop.WaitAndDispatchOne(5);
    ++turns;
    elapsed = GetTickCount() - start;
    ASSERT_LT(turns, 1000000) << "the loop never slept";
  }
  loop.KillTimer(timer);
  EXPECT_GE(fired, 1);
  EXPECT_LE(static_cast<std::uint32_t>(fired), elapsed + 1);
}

// The pause of a wait for a condition ends with the first news, long before its step, and
// dispatches nothing itself: the wait handles the news where it always did.
TEST(MessageLoop, WaitForActivityEndsWithTheFirstNewsAndDispatchesNothing) {
  auto& loop = TMessageLoop::Current();
  constexpr int kStep = 60000;
  Recorder r;
  TNotifyTarget t = loop.AllocateTarget(r.For());
  // A message posted from another thread while the loop sleeps.
  std::uint32_t start = GetTickCount();
  std::thread poster([t] {
    Sleep(30);
    PostMessage(t, WM_USER, 0, 0);
  });
  loop.WaitForActivity(kStep);
  poster.join();
  EXPECT_LT(GetTickCount() - start, std::uint32_t(kStep / 2));
  EXPECT_TRUE(r.seen.empty());
  loop.ProcessPending();
  EXPECT_EQ(r.seen.size(), 1u);
  // A message already queued: no sleep at all.
  PostMessage(t, WM_USER, 0, 0);
  start = GetTickCount();
  loop.WaitForActivity(kStep);
  EXPECT_LT(GetTickCount() - start, std::uint32_t(kStep / 2));
  loop.ProcessPending();
  // A timer coming due.
  int fired = 0;
  TTimerId timer = loop.SetTimer(30, [&] { ++fired; });
  start = GetTickCount();
  loop.WaitForActivity(kStep);
  EXPECT_LT(GetTickCount() - start, std::uint32_t(kStep / 2));
  EXPECT_EQ(fired, 0);
  loop.KillTimer(timer);
  // A watched descriptor becoming ready.
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  loop.WatchFd(fds[0], 0x001 /* EPOLLIN */, [](std::uint32_t) {});
  std::thread writer([&] {
    Sleep(30);
    [[maybe_unused]] auto n = write(fds[1], "x", 1);
  });
  start = GetTickCount();
  loop.WaitForActivity(kStep);
  writer.join();
  EXPECT_LT(GetTickCount() - start, std::uint32_t(kStep / 2));
  loop.UnwatchFd(fds[0]);
  close(fds[0]);
  close(fds[1]);
  loop.ReleaseTarget(t);
}

TEST(Application, QuitMessageTerminatesRun) {
  TApplication app;
  int ran = 0;
  TNotifyTarget t = TMessageLoop::Current().AllocateTarget([&](const TMessage&) {
    ++ran;
    PostQuitMessage();
  });
  PostMessage(t, WM_USER, 0, 0);
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(ran, 1);
  TMessageLoop::Current().ReleaseTarget(t);
}

}  // namespace
