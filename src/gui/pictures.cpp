#include "gui/pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QImage TransparentImage(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// The stroke of a check mark inside a square of side `s` at (x, y).
QPainterPath CheckPath(qreal x, qreal y, qreal s) {
  QPainterPath path;
  path.moveTo(x + 0.16 * s, y + 0.52 * s);
  path.lineTo(x + 0.40 * s, y + 0.76 * s);
  path.lineTo(x + 0.86 * s, y + 0.22 * s);
  return path;
}

}  // namespace

QImage CheckMarkImage(int size) {
  QImage image = TransparentImage(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // A darker rim under the green stroke keeps the mark readable on light and dark pages.
  QPen rim(QColor(0x1e, 0x6b, 0x1e), size * 0.26, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(rim);
  p.drawPath(CheckPath(0, 0, size));
  QPen stroke(QColor(0x3c, 0xb8, 0x3c), size * 0.15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(stroke);
  p.drawPath(CheckPath(0, 0, size));
  return image;
}

QImage ProgramIconImage(int size) {
  QImage image = TransparentImage(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;

  // A sky-blue tile, the colour of the window's header band.
  QLinearGradient tile(0, 0, s, s);
  tile.setColorAt(0, QColor(0x87, 0xce, 0xeb));
  tile.setColorAt(1, QColor(0x1f, 0x6f, 0xb2));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s), 0.18 * s, 0.18 * s);

  // A closed letter: the mail the guard looks at.
  QRectF letter(0.16 * s, 0.26 * s, 0.62 * s, 0.42 * s);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0x15, 0x4a, 0x78), qMax<qreal>(1.0, 0.04 * s)));
  p.drawRect(letter);
  QPainterPath flap;
  flap.moveTo(letter.topLeft());
  flap.lineTo(letter.center().x(), letter.top() + 0.55 * letter.height());
  flap.lineTo(letter.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);

  // A green badge with the check mark: the mail was checked.
  QRectF badge(0.52 * s, 0.52 * s, 0.42 * s, 0.42 * s);
  p.setPen(QPen(Qt::white, qMax<qreal>(1.0, 0.04 * s)));
  p.setBrush(QColor(0x2e, 0x9e, 0x3a));
  p.drawEllipse(badge);
  QPen check(Qt::white, qMax<qreal>(1.2, 0.07 * s), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(check);
  p.setBrush(Qt::NoBrush);
  const qreal inset = 0.08 * s;
  p.drawPath(CheckPath(badge.left() + inset, badge.top() + inset, badge.width() - 2 * inset));
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  }
  return icon;
}

QImage PictureByName(std::string_view name, int width, int height) {
  if (name == "checkmark") {
    // Shown left-aligned at its own size, whatever the image's bounds.
    QImage image = TransparentImage(width, height);
    QPainter p(&image);
    p.drawImage(0, 0, CheckMarkImage(18));
    return image;
  }
  return {};
}
