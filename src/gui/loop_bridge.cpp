#include "gui/loop_bridge.h"

#include <QCoreApplication>

#include "platform/application.h"
#include "platform/message_loop.h"

TQtLoopBridge::TQtLoopBridge() {
  notifier_ =
      std::make_unique<QSocketNotifier>(TMessageLoop::Current().EpollFd(), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] { Pump(); });

  Application->ProcessFrontEndEvents = [] {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  };
  Application->RunFrontEnd = [this] {
    if (Application->Terminated()) return;
    // Messages posted before the loop started have not woken the notifier yet.
    Pump();
    if (Application->Terminated()) return;
    QEventLoop loop;
    running_ = &loop;
    loop.exec();
    running_ = nullptr;
  };
  Application->OnTerminate = [this] {
    if (running_) running_->quit();
    // Every loop of the thread ends, a modal box's too: a signal or a quit message must end
    // the program even while the exit confirmation is open (it then answers as closed).
    QCoreApplication::exit(0);
  };
}

TQtLoopBridge::~TQtLoopBridge() {
  Application->ProcessFrontEndEvents = nullptr;
  Application->RunFrontEnd = nullptr;
  Application->OnTerminate = nullptr;
}

void TQtLoopBridge::Pump() {
  if (TMessageLoop::Current().ProcessPending()) Application->Terminate();
}
