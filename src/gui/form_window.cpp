#include "gui/form_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWindowStateChangeEvent>

TFormWindow::TFormWindow() : QWidget(nullptr, Qt::Window) {}

void TFormWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || applying) return;
  auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const bool wasMinimized = change->oldState() & Qt::WindowMinimized;
  if (isMinimized() && !wasMinimized) {
    if (OnUserMinimize) OnUserMinimize();
  } else if (!isMinimized() && wasMinimized) {
    if (OnUserRestore) OnUserRestore();
  }
}

void TFormWindow::closeEvent(QCloseEvent* event) {
  if (closeAllowed) {
    event->accept();
    return;
  }
  // The window manager asked (a keyboard shortcut or a task bar menu); the model decides.
  event->ignore();
  if (OnCloseRequest) OnCloseRequest();
}

void TFormWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && OnHelpKey) {
    OnHelpKey();
    return;
  }
  QWidget::keyPressEvent(event);
}
