#include "app/render/NinePatch.hpp"
#include "app/render/RoundedPicture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace tavolune {
namespace {

// The largest difference of any channel between two pictures.
int largestDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  }
  return worst;
}

TEST(NinePatch, StretchedFillsMatchTheShapeDrawnWhole) {
  const QColor tint(20, 90, 200, 31);
  for (const QRect rect : {QRect(3, 4, 25, 25), QRect(3, 4, 26, 25), QRect(0, 0, 160, 97), QRect(7, 2, 131, 220)}) {
    SCOPED_TRACE(rect.width());
    QImage stretched(rect.right() + 10, rect.bottom() + 10, QImage::Format_ARGB32_Premultiplied);
    stretched.fill(Qt::white);
    QImage whole = stretched;
    {
      QPainter p(&stretched);
      RoundedPicture::paint(p, QRectF(rect), 10, tint);
    }
    {
      QPainter p(&whole);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(Qt::NoPen);
      p.setBrush(tint);
      p.drawRoundedRect(QRectF(rect), 10, 10);
    }
    EXPECT_LE(largestDifference(stretched, whole), 2);
  }
  QImage target(40, 40, QImage::Format_ARGB32_Premultiplied);
  QImage picture(21, 21, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::black);
  QPainter p(&target);
  EXPECT_FALSE(NinePatch::draw(p, QRect(0, 0, 20, 30), picture, 10)) << "narrower than its two corners";
  EXPECT_FALSE(NinePatch::draw(p, QRect(0, 0, 30, 30), picture.copy(0, 0, 20, 21), 10)) << "a picture without a middle";
}

}  // namespace
}  // namespace tavolune
