#pragma once
// The top-level window of a form. It reports what the user does to the window itself
// (minimise, restore, a close request, F1), so the renderer can tell the model; changes the
// renderer makes are not reported back.

#include <QWidget>
#include <functional>
#include <vector>

class TFormWindow : public QWidget {
 public:
  TFormWindow();

  std::function<void()> OnUserMinimize;
  std::function<void()> OnUserRestore;
  std::function<void()> OnCloseRequest;
  std::function<void()> OnHelpKey;

  // While set, state changes are the renderer's own and not reported.
  bool applying = false;
  // Set only when the program itself closes the window for good.
  bool closeAllowed = false;
  // The controls in keyboard order; Tab and Backtab go to the next one that can take focus.
  std::vector<QWidget*> focusOrder;
  // The control after (or before) the one holding `current`, or null when none can take focus.
  QWidget* NextInKeyboardOrder(QWidget* current, bool forward) const;

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;
};
