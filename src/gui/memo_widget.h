#pragma once
// A log memo that keeps its newest line in view: while the user has not scrolled away from
// the end, every new line and every relayout (the page coming into view, a resize) scrolls
// to the end again. A user reading older lines is left where he is until a new line arrives.

#include <QPlainTextEdit>

class TMemoWidget : public QPlainTextEdit {
 public:
  explicit TMemoWidget(QWidget* parent);
  // Scrolls to the end and follows it from now on.
  void ShowNewest();
  bool FollowsNewest() const { return follow_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool follow_ = true;
};
