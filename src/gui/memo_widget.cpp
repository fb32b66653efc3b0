#include "gui/memo_widget.h"

#include <QScrollBar>

TMemoWidget::TMemoWidget(QWidget* parent) : QPlainTextEdit(parent) {
  QScrollBar* bar = verticalScrollBar();
  QObject::connect(bar, &QScrollBar::actionTriggered, [this, bar](int) {
    // Only the user moves the bar through actions; the value is the one being moved to.
    follow_ = bar->sliderPosition() >= bar->maximum();
  });
}

void TMemoWidget::ShowNewest() {
  follow_ = true;
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// A memo on a hidden page lays its text out only when it comes into view or changes size;
// the end must be scrolled to after that.
void TMemoWidget::showEvent(QShowEvent* event) {
  QPlainTextEdit::showEvent(event);
  // Scroll bars are laid out only while the memo is visible; one that was sized while hidden
  // (its window first shown minimised) would otherwise keep its bars hidden.
  setVerticalScrollBarPolicy(verticalScrollBarPolicy());
  if (follow_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TMemoWidget::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  if (follow_) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
