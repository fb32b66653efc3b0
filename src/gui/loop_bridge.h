#pragma once
// Lets Qt's event loop drive the thread's message loop: the loop's epoll descriptor becomes
// readable for every posted message, due timer and watched socket, so one socket notifier
// on it is enough. The other way round, every ProcessMessages() of the proxy's waits also lets
// Qt handle its events, so the window stays live while a command is being handled.

#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <memory>

class TQtLoopBridge {
 public:
  TQtLoopBridge();
  ~TQtLoopBridge();
  TQtLoopBridge(const TQtLoopBridge&) = delete;
  TQtLoopBridge& operator=(const TQtLoopBridge&) = delete;

  // Handles what the platform loop has ready; a quit message terminates the application.
  static void Pump();

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  QPointer<QEventLoop> running_;
};
