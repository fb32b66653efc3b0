#include "gui/qt_front_end.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "gui/display_probe.h"
#include "gui/form_renderer.h"
#include "gui/loop_bridge.h"
#include "gui/pictures.h"
#include "gui/qt_message_box.h"
#include "platform/form.h"

namespace {

struct TQtFrontEnd {
  std::unique_ptr<TQtLoopBridge> bridge;
  std::unique_ptr<TQtFormRenderer> renderer;
  // Asks now and then whether the desktop shows a tray: a panel may start after the program
  // (at login) or restart, and the window must stay reachable meanwhile.
  std::unique_ptr<QTimer> trayWatch;
};

constexpr int kTrayWatchMs = 3000;

// Qt's application object outlives every widget: it goes when the form goes, after them.
QApplication* theApplication = nullptr;
TQtFrontEnd* theFrontEnd = nullptr;

}  // namespace

bool AttachQtFrontEnd(int& argc, char** argv, TForm& mainForm) {
  if (!theApplication) {
    if (!DisplayAvailable()) return false;
    theApplication = new QApplication(argc, argv);
    // The program lives in the tray; a hidden window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("brindlecap"));
    QApplication::setDesktopFileName(QStringLiteral("brindlecap"));
    QApplication::setWindowIcon(ProgramIcon());
  }
  delete theFrontEnd;
  theFrontEnd = new TQtFrontEnd;
  theFrontEnd->bridge = std::make_unique<TQtLoopBridge>();
  InstallQtMessageBox();
  theFrontEnd->renderer = std::make_unique<TQtFormRenderer>(mainForm, TQtFormRenderer::TOptions{});
  theFrontEnd->trayWatch = std::make_unique<QTimer>();
  QObject::connect(theFrontEnd->trayWatch.get(), &QTimer::timeout, [] {
    if (theFrontEnd->renderer) {
      theFrontEnd->renderer->SetTrayAvailable(QSystemTrayIcon::isSystemTrayAvailable());
    }
  });
  theFrontEnd->trayWatch->start(kTrayWatchMs);
  theFrontEnd->renderer->OnFormDestroyed = [] {
    // Nothing may reach for the form any more: the loop goes back to plain waiting and the
    // message box to its default. The renderer has let go of its widgets and is done (it is
    // dropped at the next attach); Qt itself is shut down here, while the program still
    // runs, so that it cleans up after itself (the font cache, the display connection).
    SetMessageDlgHandler(nullptr);
    theFrontEnd->trayWatch.reset();
    theFrontEnd->bridge.reset();
    delete theApplication;
    theApplication = nullptr;
  };
  return true;
}
