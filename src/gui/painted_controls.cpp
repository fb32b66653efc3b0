#include "gui/painted_controls.h"

#include <QPainter>
#include <algorithm>

namespace {

int Channel(std::uint32_t color, int shift) {
  return static_cast<int>((color >> shift) & 0xff);
}

}  // namespace

void TGradientWidget::SetGradient(std::uint32_t startColor, std::uint32_t endColor, int steps,
                                  bool horizontal) {
  start_ = startColor;
  end_ = endColor;
  steps_ = std::max(1, steps);
  horizontal_ = horizontal;
  update();
}

QColor TGradientWidget::StepColor(std::uint32_t startColor, std::uint32_t endColor, int steps,
                                  int step) {
  // The first stripe has the start colour and the last the end colour exactly.
  auto mix = [&](int shift) {
    int a = Channel(startColor, shift), b = Channel(endColor, shift);
    return steps <= 1 ? a : a + (b - a) * step / (steps - 1);
  };
  return QColor(mix(16), mix(8), mix(0));
}

void TGradientWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int length = horizontal_ ? width() : height();
  for (int i = 0; i < steps_; ++i) {
    // Stripe edges are spread over the whole length, so no pixel is left unpainted.
    int from = length * i / steps_;
    int to = length * (i + 1) / steps_;
    if (to <= from) continue;
    QRect stripe =
        horizontal_ ? QRect(from, 0, to - from, height()) : QRect(0, from, width(), to - from);
    p.fillRect(stripe, StepColor(start_, end_, steps_, i));
  }
}

TBevelWidget::TBevelWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevelWidget::SetShape(TBevelShape shape, TBevelStyle style) {
  shape_ = shape;
  style_ = style;
  update();
}

void TBevelWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QColor shadow = palette().color(QPalette::Mid);
  QColor light = palette().color(QPalette::Light);
  if (style_ == TBevelStyle::Raised) std::swap(shadow, light);
  const int r = width() - 1, b = height() - 1;
  auto line = [&p](const QColor& c, int x1, int y1, int x2, int y2) {
    p.setPen(c);
    p.drawLine(x1, y1, x2, y2);
  };
  switch (shape_) {
    case TBevelShape::Box:
      line(shadow, 0, 0, r, 0);
      line(shadow, 0, 0, 0, b);
      line(light, 0, b, r, b);
      line(light, r, 0, r, b);
      break;
    case TBevelShape::Frame:
      // A grooved frame: two boxes one pixel apart.
      p.setPen(shadow);
      p.drawRect(0, 0, r - 1, b - 1);
      p.setPen(light);
      p.drawRect(1, 1, r - 1, b - 1);
      break;
    case TBevelShape::TopLine:
      line(shadow, 0, 0, r, 0);
      line(light, 0, 1, r, 1);
      break;
    case TBevelShape::BottomLine:
      line(shadow, 0, b - 1, r, b - 1);
      line(light, 0, b, r, b);
      break;
    case TBevelShape::LeftLine:
      line(shadow, 0, 0, 0, b);
      line(light, 1, 0, 1, b);
      break;
    case TBevelShape::RightLine:
      line(shadow, r - 1, 0, r - 1, b);
      line(light, r, 0, r, b);
      break;
  }
}

TPictureWidget::TPictureWidget(QWidget* parent) : QWidget(parent) {
  // Children of a widget paint on their parent, so what the picture leaves shows through.
}

void TPictureWidget::SetImage(QImage image) {
  image_ = std::move(image);
  update();
}

void TPictureWidget::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter p(this);
  p.drawImage(0, 0, image_);
}
