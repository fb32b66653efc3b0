#include "gui/pictures.h"

#include <gtest/gtest.h>

#include "gui/painted_controls.h"

namespace {

int CountPixels(const QImage& image, const std::function<bool(QColor)>& test) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y)) ? 1 : 0;
  }
  return n;
}

}  // namespace

TEST(PicturesTest, CheckMarkIsGreenOnTransparent) {
  QImage mark = CheckMarkImage();
  ASSERT_EQ(mark.size(), QSize(18, 18));
  EXPECT_EQ(mark.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(mark.pixelColor(17, 17).alpha(), 0);
  int green = CountPixels(mark, [](QColor c) {
    return c.alpha() > 200 && c.green() > c.red() + 60 && c.green() > c.blue() + 60;
  });
  EXPECT_GT(green, 20);
  // The step rows name it by picture; an unknown picture draws nothing.
  QImage byName = PictureByName("checkmark", 18, 18);
  EXPECT_EQ(byName, mark);
  EXPECT_TRUE(PictureByName("no-such-picture", 18, 18).isNull());
  EXPECT_FALSE(ProgramIcon().isNull());
}

TEST(PicturesTest, ProgramIconFillsEverySize) {
  for (int size : {16, 32, 256}) {
    QImage icon = ProgramIconImage(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    EXPECT_EQ(icon.pixelColor(size / 2, size / 8).alpha(), 255) << size;
    EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;  // rounded corner
  }
}

TEST(PicturesTest, GradientRunsFromStartToEndInItsSteps) {
  const std::uint32_t sky = 0x87ceeb, white = 0xffffff;
  EXPECT_EQ(TGradientWidget::StepColor(sky, white, 128, 0), QColor(0x87, 0xce, 0xeb));
  EXPECT_EQ(TGradientWidget::StepColor(sky, white, 128, 127), QColor(0xff, 0xff, 0xff));
  QColor middle = TGradientWidget::StepColor(sky, white, 128, 64);
  EXPECT_GT(middle.red(), 0x87);
  EXPECT_LT(middle.red(), 0xff);

  // Drawn on 446 pixels, 128 stripes: every column painted, colours never going back.
  TGradientWidget band(nullptr);
  band.SetGradient(sky, white, 128, true);
  band.resize(446, 44);
  QImage image = band.grab().toImage();
  int distinct = 1;
  for (int x = 1; x < image.width(); ++x) {
    QColor prev = image.pixelColor(x - 1, 20), cur = image.pixelColor(x, 20);
    EXPECT_GE(cur.red(), prev.red()) << x;
    if (cur != prev) ++distinct;
  }
  EXPECT_EQ(image.pixelColor(0, 0), QColor(0x87, 0xce, 0xeb));
  EXPECT_EQ(image.pixelColor(445, 43), QColor(0xff, 0xff, 0xff));
  EXPECT_GT(distinct, 100);
  EXPECT_LE(distinct, 128);
}
