#include "gui/qt_front_end.h"

#include <QApplication>
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
};

// Lives until the process ends: Qt's application object must outlive every widget, and is
// only ever made once per process.
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
  theFrontEnd->renderer->OnFormDestroyed = [] {
    // Nothing may reach for the form any more: the loop goes back to plain waiting and the
    // message box to its default. The renderer itself is done; it is dropped with the rest
    // at the next attach or at the end of the process.
    SetMessageDlgHandler(nullptr);
    theFrontEnd->bridge.reset();
  };
  return true;
}
