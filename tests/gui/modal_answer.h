#pragma once
// Answers the next modal message box the way a user would: waits until it is open, then
// clicks the button whose caption is given (mnemonic ampersand included). What the box
// showed is kept for the test to look at.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

struct TSeenBox {
  QString title, text;
  QStringList buttons;
  bool answered = false;
};

inline void AnswerNextBox(const QString& caption, TSeenBox& seen,
                          std::function<void(QMessageBox&)> look = nullptr) {
  seen = TSeenBox{};
  auto* timer = new QTimer();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, caption, &seen, look] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    seen.title = box->windowTitle();
    seen.text = box->text();
    for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
    if (look) look(*box);
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == caption) {
        seen.answered = true;
        b->click();
        return;
      }
    }
    box->reject();
  });
  timer->start();
}
