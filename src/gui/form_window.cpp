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

QWidget* TFormWindow::NextInKeyboardOrder(QWidget* current, bool forward) const {
  std::vector<QWidget*> candidates;
  int at = -1;
  for (QWidget* w : focusOrder) {
    if (!w || !w->isVisibleTo(this) || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus)) {
      continue;
    }
    // The focus may sit inside a control (the tab bar of a page control, a memo's viewport).
    if (current && (w == current || w->isAncestorOf(current))) {
      at = static_cast<int>(candidates.size());
    }
    candidates.push_back(w);
  }
  if (candidates.empty()) return nullptr;
  const int n = static_cast<int>(candidates.size());
  if (at < 0) return forward ? candidates.front() : candidates.back();
  return candidates[static_cast<size_t>((at + (forward ? 1 : n - 1)) % n)];
}

bool TFormWindow::focusNextPrevChild(bool next) {
  if (QWidget* target = NextInKeyboardOrder(focusWidget(), next)) {
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return QWidget::focusNextPrevChild(next);
}
