#include "gui/loop_bridge.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "platform/application.h"
#include "platform/message_loop.h"

namespace {

// Runs Qt's loop (not the platform's) until `done` or a time limit.
bool RunQtUntil(const std::function<bool()>& done, int limitMs = 2000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return done();
}

TEST(LoopBridgeTest, QtLoopDispatchesPostedMessagesAndTimers) {
  TQtLoopBridge bridge;
  TMessageLoop& loop = TMessageLoop::Current();
  std::vector<unsigned> seen;
  TNotifyTarget target = loop.AllocateTarget([&](const TMessage& m) {
    seen.push_back(m.msg);
    // A handler that posts: the next message is handled without anything else happening.
    if (m.msg == WM_USER + 1) PostMessage(m.target, WM_USER + 2, 0, 0);
  });
  PostMessage(target, WM_USER + 1, 0, 0);
  EXPECT_TRUE(RunQtUntil([&] { return seen.size() == 2; }));
  EXPECT_EQ(seen, (std::vector<unsigned>{WM_USER + 1, WM_USER + 2}));

  // A message posted from another thread wakes Qt's loop too.
  std::thread([target] { PostMessage(target, WM_USER + 3, 0, 0); }).join();
  EXPECT_TRUE(RunQtUntil([&] { return seen.size() == 3; }));

  int ticks = 0;
  TTimerId timer = loop.SetTimer(10, [&] { ++ticks; });
  EXPECT_TRUE(RunQtUntil([&] { return ticks >= 3; }));
  loop.KillTimer(timer);
  loop.ReleaseTarget(target);
}

TEST(LoopBridgeTest, ProcessMessagesLetsQtHandleItsEvents) {
  TQtLoopBridge bridge;
  bool fired = false;
  QTimer::singleShot(0, [&] { fired = true; });
  // The proxy's waits call this in a loop; the window must stay live meanwhile.
  for (int i = 0; i < 50 && !fired; ++i) {
    Application->ProcessMessages();
    Sleep(2);
  }
  EXPECT_TRUE(fired);
}

TEST(LoopBridgeTest, RunEndsWhenTheApplicationTerminates) {
  TQtLoopBridge bridge;
  ASSERT_FALSE(Application->Terminated());
  TMessageLoop& loop = TMessageLoop::Current();
  TNotifyTarget target = loop.AllocateTarget([](const TMessage&) { PostQuitMessage(); });
  // The quit arrives through the platform loop while Qt's loop runs.
  QTimer::singleShot(10, [target] { PostMessage(target, WM_USER, 0, 0); });
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  loop.ReleaseTarget(target);
}

}  // namespace
