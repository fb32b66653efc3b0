#pragma once
// The controls Qt has no widget for, painted from the model's values: the gradient band, the
// bevel and the picture.

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "platform/controls.h"

// A band of `steps` solid stripes from the start colour to the end colour.
class TGradientWidget : public QWidget {
 public:
  explicit TGradientWidget(QWidget* parent) : QWidget(parent) {}
  void SetGradient(std::uint32_t startColor, std::uint32_t endColor, int steps, bool horizontal);

  // The colour of stripe `step` (0 .. steps-1), exposed so tests can check the steps.
  static QColor StepColor(std::uint32_t startColor, std::uint32_t endColor, int steps, int step);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::uint32_t start_ = 0, end_ = 0xffffff;
  int steps_ = 64;
  bool horizontal_ = true;
};

// A sunken or raised frame or line, in the shadow and light colours of the palette.
class TBevelWidget : public QWidget {
 public:
  explicit TBevelWidget(QWidget* parent);
  void SetShape(TBevelShape shape, TBevelStyle style);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TBevelShape shape_ = TBevelShape::Box;
  TBevelStyle style_ = TBevelStyle::Lowered;
};

// A picture drawn at the top left, transparent where the picture is.
class TPictureWidget : public QWidget {
 public:
  explicit TPictureWidget(QWidget* parent);
  void SetImage(QImage image);
  const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};
