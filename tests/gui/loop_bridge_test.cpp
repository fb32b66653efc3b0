#include "gui/loop_bridge.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <optional>
#include <thread>

#include "gui/qt_message_box.h"
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

// Terminating is final for the process, so this is the one test that runs the whole loop.
TEST(LoopBridgeTest, RunEndsWhenTheApplicationTerminatesEvenWithABoxOpen) {
  TQtLoopBridge bridge;
  InstallQtMessageBox();
  ASSERT_FALSE(Application->Terminated());
  TMessageLoop& loop = TMessageLoop::Current();
  std::optional<TModalResult> answer;
  // The exit confirmation is open (from a handler of the platform loop) when SIGTERM's quit
  // arrives: the box must give way and the program end.
  TNotifyTarget target = loop.AllocateTarget([&](const TMessage&) {
    answer = MessageDlg("?", TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No});
  });
  PostMessage(target, WM_USER, 0, 0);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget()) {
      poll.stop();
      PostQuitMessage();
    }
  });
  poll.start(5);
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(answer, TModalResult::No);
  loop.ReleaseTarget(target);
  SetMessageDlgHandler(nullptr);
}

}  // namespace
