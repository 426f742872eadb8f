#include "app/render/Shadow.hpp"

#include "tests/app/render/TestImages.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using namespace tavolune::testing;

TEST(Shadow, BoxBlurSpreadsSymmetricallyAndKeepsMass) {
  QImage mask(41, 41, QImage::Format_Alpha8);
  mask.fill(0);
  for (int y = 10; y < 31; ++y)
    for (int x = 10; x < 31; ++x) mask.scanLine(y)[x] = 255;
  long before = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x) before += mask.constScanLine(y)[x];
  Shadow::boxBlur(mask, 2);
  long after = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x) after += mask.constScanLine(y)[x];
  EXPECT_NEAR(double(after), double(before), before * 0.02);
  EXPECT_EQ(mask.constScanLine(20)[20], 255) << "the middle stays solid";
  EXPECT_GT(mask.constScanLine(20)[8], 0) << "alpha spreads past the edge";
  EXPECT_LT(mask.constScanLine(20)[11], 255) << "the edge softens";
  EXPECT_GT(mask.constScanLine(20)[4], 0) << "three passes of radius 2 reach 6 pixels";
  EXPECT_EQ(mask.constScanLine(20)[3], 0) << "and no further";
  for (int i = 0; i < 41; ++i) {
    EXPECT_EQ(mask.constScanLine(20)[i], mask.constScanLine(20)[40 - i]);
    EXPECT_EQ(mask.constScanLine(i)[20], mask.constScanLine(20)[i]);
  }
}

TEST(Shadow, FallsByItsOffsetInYUpCoordinates) {
  QImage canvas = solid(200, 200, Qt::white);
  {
    QPainter p(&canvas);
    geometry::yUp(p, 200);
    // Offset downwards (negative y is down in y-up coordinates).
    Shadow::drawRectShadow(p, Rect{50, 80, 100, 40}, 0, -20, 8, 1.0);
  }
  // The rect spans y-down rows 80..120; its shadow is drawn 20 rows lower.
  EXPECT_LT(luminance(canvas, 100, 130), 40);
  EXPECT_GT(luminance(canvas, 100, 70), 230);
  EXPECT_LT(luminance(canvas, 100, 140), luminance(canvas, 100, 80)) << "offset down, not up";
  // Soft: the edge is a ramp, not a step.
  int ramp = 0;
  for (int x = 30; x < 60; ++x) {
    const int l = luminance(canvas, x, 120);
    if (l > 20 && l < 235) ++ramp;
  }
  EXPECT_GE(ramp, 4);
}

TEST(Shadow, MasksAreCachedBySize) {
  Shadow::clearMaskCache();
  QImage canvas = solid(300, 300, Qt::white);
  QPainter p(&canvas);
  Shadow::drawRectShadow(p, Rect{10, 10, 100, 100}, 0, 2, 20, 0.5);
  EXPECT_EQ(Shadow::cachedMaskCount(), 1u);
  Shadow::drawRectShadow(p, Rect{150, 150, 100, 100}, 0, 2, 20, 0.5);
  EXPECT_EQ(Shadow::cachedMaskCount(), 1u) << "same size, same blur: no new blur";
  Shadow::drawRectShadow(p, Rect{10, 150, 120, 100}, 0, 2, 20, 0.5);
  EXPECT_EQ(Shadow::cachedMaskCount(), 2u);
  // Nothing is drawn for shapes that are not finite.
  const QImage before = canvas.copy();
  Shadow::drawRectShadow(p, Rect{std::numeric_limits<double>::quiet_NaN(), 0, 10, 10}, 0, 0, 5, 1);
  Shadow::drawRectShadow(p, Rect{0, 0, 10, 10}, 0, 0, std::numeric_limits<double>::infinity(), 1);
  p.end();
  EXPECT_EQ(canvas, before);
}

// A bar whose text changes its width keeps its shadow's one blur, and the
// stretched middle joins its ends without a seam.
TEST(Shadow, CapsulesOfOneHeightShareTheirMaskAndJoinSmoothly) {
  Shadow::clearMaskCache();
  for (const int width : {300, 340, 520}) {
    QImage canvas = solid(600, 120, Qt::white);
    {
      QPainter p(&canvas);
      Shadow::drawCapsuleShadow(p, QRectF(40, 30, width, 40), QPointF(0, 6), 8, 1.0);
    }
    EXPECT_LT(luminance(canvas, 40 + width / 2, 50), 40) << width;
    EXPECT_GT(luminance(canvas, 40 + width / 2, 3), 230) << "soft, and only around the shape";
    EXPECT_LT(luminance(canvas, 40 + width / 2, 78), luminance(canvas, 40 + width / 2, 22)) << "moved down";
    EXPECT_LT(luminance(canvas, 42, 56), luminance(canvas, 33, 56)) << "rounded ends, blurred";
    // Along the middle row under the bar's edge, no step between neighbours.
    for (int x = 70; x < 40 + width - 30; ++x)
      EXPECT_LE(std::abs(luminance(canvas, x, 76) - luminance(canvas, x + 1, 76)), 2) << x;
  }
  EXPECT_EQ(Shadow::cachedMaskCount(), 1u);
}

}  // namespace
}  // namespace tavolune
