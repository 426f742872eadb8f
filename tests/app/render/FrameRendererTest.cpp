#include "app/render/FrameRenderer.hpp"

#include "tests/app/render/TestImages.hpp"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using namespace tavolune::testing;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

const FrameStyle allStyles[] = {FrameStyle::none, FrameStyle::galleryWhite, FrameStyle::blackFloat,
                                FrameStyle::naturalOak, FrameStyle::museumLight};

TEST(FrameRenderer, LayoutInASquare) {
  const Rect square{0, 0, 1000, 1000};
  const auto white = FrameRenderer::layout(FrameStyle::galleryWhite, 1.0, square);
  EXPECT_EQ(white.art, (Rect{166, 166, 668, 668}));
  EXPECT_EQ(white.inner, (Rect{111, 111, 778, 778}));
  EXPECT_EQ(white.outer, (Rect{100, 100, 800, 800}));

  const auto museum = FrameRenderer::layout(FrameStyle::museumLight, 1.0, square);
  EXPECT_EQ(museum.art, (Rect{140, 140, 720, 720}));
  EXPECT_EQ(museum.inner, museum.art);
  EXPECT_EQ(museum.outer, museum.art);

  const auto none = FrameRenderer::layout(FrameStyle::none, 1.0, square);
  EXPECT_EQ(none.art, (Rect{100, 100, 800, 800}));
  EXPECT_EQ(none.outer, none.art);
}

TEST(FrameRenderer, LayoutRingsGrowByMatAndMoulding) {
  struct Widths {
    FrameStyle style;
    double moulding, mat;
  };
  const Rect area{0, 0, 1600, 900};  // u = 9
  for (const Widths w : {Widths{FrameStyle::galleryWhite, 1.1, 5.5}, Widths{FrameStyle::blackFloat, 0.9, 3.2},
                         Widths{FrameStyle::naturalOak, 1.4, 4.8}}) {
    SCOPED_TRACE(int(w.style));
    for (double ratio : {0.3, 1.0, 1.5, 4.0}) {
      const auto l = FrameRenderer::layout(w.style, ratio, area);
      EXPECT_EQ(l.inner, l.art.grownBy(w.mat * 9));
      EXPECT_EQ(l.outer, l.inner.grownBy(w.moulding * 9));
      EXPECT_EQ(l.art, l.art.integral());
      const double inset = (10 + w.moulding + w.mat) * 9;
      EXPECT_GE(l.art.minX(), std::floor(inset));
      EXPECT_LE(l.art.maxX(), std::ceil(1600 - inset));
      EXPECT_GE(l.art.minY(), std::floor(inset));
      EXPECT_LE(l.art.maxY(), std::ceil(900 - inset));
      EXPECT_NEAR(l.art.width / l.art.height, ratio, ratio * 0.02 + 0.01);
    }
  }
}

TEST(FrameRenderer, LayoutLimitsByTheTighterSide) {
  // A wide work in a tall area is limited by width.
  const auto wide = FrameRenderer::layout(FrameStyle::none, 2.0, Rect{0, 0, 600, 1000});  // u = 6, inset 60
  EXPECT_EQ(wide.art, (Rect{60, 380, 480, 240}));
  // A tall work in a wide area is limited by height.
  const auto tall = FrameRenderer::layout(FrameStyle::none, 0.5, Rect{0, 0, 1000, 600});
  EXPECT_EQ(tall.art, (Rect{380, 60, 240, 480}));
  // The layout follows the area's origin.
  const auto moved = FrameRenderer::layout(FrameStyle::none, 0.5, Rect{100, 50, 1000, 600});
  EXPECT_EQ(moved.art, (Rect{480, 110, 240, 480}));
}

TEST(FrameRenderer, LayoutWithoutAUsableRatioFillsTheArea) {
  const Rect area{0, 0, 1600, 900};  // u = 9, galleryWhite inset 149.4
  const Rect expected{149, 149, 1302, 602};
  EXPECT_EQ(FrameRenderer::layout(FrameStyle::galleryWhite, std::nullopt, area).art, expected);
  for (double bad : {0.0, -1.0, nan, inf, -inf}) {
    EXPECT_EQ(FrameRenderer::layout(FrameStyle::galleryWhite, bad, area).art, expected) << bad;
  }
  EXPECT_EQ(FrameRenderer::layout(FrameStyle::galleryWhite, 1.0, Rect{0, 0, nan, 100}), FrameRenderer::Layout{});
  EXPECT_EQ(FrameRenderer::layout(FrameStyle::galleryWhite, 1.0, Rect{inf, 0, 100, 100}), FrameRenderer::Layout{});
}

TEST(FrameRenderer, SurroundRefusesEmptyAndNonFiniteSizes) {
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::galleryWhite, 1.0, QSizeF(0, 100)).isNull());
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::galleryWhite, 1.0, QSizeF(100, 0.7)).isNull());
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::none, 1.0, QSizeF(-100, 100)).isNull());
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::none, 1.0, QSizeF(nan, 100)).isNull());
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::none, 1.0, QSizeF(100, inf)).isNull());
  EXPECT_TRUE(FrameRenderer::surround(FrameStyle::none, 1.0, QSizeF(1e19, 100)).isNull());
  EXPECT_EQ(FrameRenderer::surround(FrameStyle::none, nan, QSizeF(99.9, 50.5)).size(), QSize(99, 50));
}

TEST(FrameRenderer, LightComesFromAboveAndTheFrameIsLitFromTheTopLeft) {
  const QSize size(1000, 800);  // u = 8
  const Rect bounds{0, 0, 1000, 800};
  const QImage img = FrameRenderer::surround(FrameStyle::blackFloat, 1.0, size);
  ASSERT_FALSE(img.isNull());
  // The wall is brightest near the top middle, darker at the bottom corners.
  EXPECT_TRUE(colorNear(img, 500, 20, QColor::fromRgbF(0.925f, 0.92f, 0.905f), 10));
  EXPECT_GT(luminance(img, 500, 20), luminance(img, 10, 790));

  const auto l = FrameRenderer::layout(FrameStyle::blackFloat, 1.0, bounds);
  const QRectF outer = l.outer.toQt(800), inner = l.inner.toQt(800), art = l.art.toQt(800);
  // Lit top and left faces of the moulding, dark bottom and right.
  const int top = luminance(img, int(outer.center().x()), int(outer.top()));
  const int bottom = luminance(img, int(outer.center().x()), int(outer.bottom()));
  const int left = luminance(img, int(outer.left()), int(outer.center().y()));
  const int right = luminance(img, int(outer.right()), int(outer.center().y()));
  EXPECT_GT(top, bottom + 10);
  EXPECT_GT(left, right + 10);
  // The mat is shaded under the moulding at its top and left edges only.
  const int matTop = luminance(img, int(inner.center().x()), int(inner.top()) + 1);
  const int matBottom = luminance(img, int(inner.center().x()), int(inner.bottom()) - 1);
  const int matLeft = luminance(img, int(inner.left()) + 1, int(inner.center().y()));
  const int matRight = luminance(img, int(inner.right()) - 1, int(inner.center().y()));
  EXPECT_LT(matTop + 5, matBottom);
  EXPECT_LT(matLeft + 5, matRight);
  // The floating shadow under the work falls below it.
  const int underArt = luminance(img, int(art.center().x()), int(art.bottom()) + 3);
  const int overArt = luminance(img, int(art.center().x()), int(art.top()) - 3);
  EXPECT_LT(underArt, overArt);
  // The art area is grey 0.1 for the caller to draw over.
  EXPECT_TRUE(colorNear(img, int(art.center().x()), int(art.center().y()), QColor::fromRgbF(0.1f, 0.1f, 0.1f), 2));
}

TEST(FrameRenderer, CastShadowFallsBelowTheFrame) {
  const QImage img = FrameRenderer::surround(FrameStyle::galleryWhite, 1.0, QSize(800, 800));
  const auto l = FrameRenderer::layout(FrameStyle::galleryWhite, 1.0, Rect{0, 0, 800, 800});
  const QRectF outer = l.outer.toQt(800);
  // Compare the shadow's fall-off on both sides of the frame at one wall level:
  // the wall left of the frame at the frame's bottom versus at its top.
  const int besideBottom = luminance(img, int(outer.left()) - 4, int(outer.bottom()) - 2);
  const int besideTop = luminance(img, int(outer.left()) - 4, int(outer.top()) + 2);
  EXPECT_LT(besideBottom, besideTop);
  const int below = luminance(img, int(outer.center().x()), int(outer.bottom()) + 6);
  EXPECT_LT(below, 200) << "visible shadow under the frame";
}

TEST(FrameRenderer, PaintsEachStylesArtArea) {
  const QSize size(600, 400);
  const Rect bounds{0, 0, 600, 400};
  struct Expect {
    FrameStyle style;
    QColor art;
  };
  const QColor veiledWhite(209, 209, 209);  // white under black at 0.18
  for (const Expect e : {Expect{FrameStyle::none, veiledWhite}, Expect{FrameStyle::galleryWhite, veiledWhite},
                         Expect{FrameStyle::naturalOak, veiledWhite},
                         Expect{FrameStyle::museumLight, QColor::fromRgbF(0.84f, 0.835f, 0.82f)}}) {
    SCOPED_TRACE(int(e.style));
    const QImage img = FrameRenderer::surround(e.style, 1.5, size);
    const QRectF art = FrameRenderer::layout(e.style, 1.5, bounds).art.toQt(400);
    EXPECT_TRUE(colorNear(img, int(art.center().x()), int(art.center().y()), e.art, 2));
  }
  // No frame: the white bevel shows just outside the hairline, no moulding
  // (at u = 10 the bevel is 2.8 pixels wide, the hairline 1).
  const QImage none = FrameRenderer::surround(FrameStyle::none, 1.5, QSize(1500, 1000));
  const QRectF art = FrameRenderer::layout(FrameStyle::none, 1.5, Rect{0, 0, 1500, 1000}).art.toQt(1000);
  EXPECT_TRUE(colorNear(none, int(art.center().x()), int(art.top()) - 2, QColor(Qt::white), 3));
  EXPECT_TRUE(colorNear(none, int(art.left()) - 2, int(art.center().y()), QColor(Qt::white), 3));
  EXPECT_LT(luminance(none, int(art.center().x()), int(art.top()) - 6), 250) << "wall beyond the bevel";
  // Museum light: no moulding, only wall right next to the work's top.
  const QImage museum = FrameRenderer::surround(FrameStyle::museumLight, 1.5, size);
  const QRectF mArt = FrameRenderer::layout(FrameStyle::museumLight, 1.5, bounds).art.toQt(400);
  EXPECT_LT(std::abs(luminance(museum, int(mArt.center().x()), int(mArt.top()) - 3) -
                     luminance(museum, int(mArt.center().x()), int(mArt.center().y()))),
            30);
}

TEST(FrameRenderer, OakGrainIsTheSameEveryTime) {
  const QSize size(2000, 1400);  // u = 14: rails of about 20 pixels
  const QImage a = FrameRenderer::surround(FrameStyle::naturalOak, 0.8, size);
  const QImage b = FrameRenderer::surround(FrameStyle::naturalOak, 0.8, size);
  ASSERT_FALSE(a.isNull());
  EXPECT_EQ(a, b);
  // Across the top rail a plain gradient changes by well under a level;
  // the grain lines make it ripple.
  const auto l = FrameRenderer::layout(FrameStyle::naturalOak, 0.8, Rect{0, 0, 2000, 1400});
  const QRectF outer = l.outer.toQt(1400), inner = l.inner.toQt(1400);
  const int x = int(outer.center().x());
  int low = 255, high = 0;
  for (int y = int(outer.top()) + 3; y <= int(inner.top()) - 3; ++y) {
    low = std::min(low, qRed(a.pixel(x, y)));
    high = std::max(high, qRed(a.pixel(x, y)));
  }
  EXPECT_GE(high - low, 2);
}

// Reference pictures of each style at a small size: catch unintended changes
// of the drawing. Rewrite them with TAVOLUNE_UPDATE_REFERENCES=1.
TEST(FrameRenderer, MatchesReferencePictures) {
  for (FrameStyle style : allStyles) {
    testing::expectReference(FrameRenderer::surround(style, 1.25, QSize(240, 160)),
                             "surround-" + std::string(rawValue(style)), 4, 200);
  }
}

}  // namespace
}  // namespace tavolune
