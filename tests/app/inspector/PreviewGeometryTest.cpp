// Where the desktop preview hangs a work in its miniature, as a pure
// function, and a few of its pictures.
#include "app/inspector/PreviewGeometry.hpp"
#include "app/render/FrameRenderer.hpp"
#include "tests/app/render/TestImages.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testing::fourCorners;

constexpr QSizeF miniature{320, 200};

TEST(PreviewGeometry, ArtRectanglePerPlacement) {
  struct Case {
    const char* name;
    Placement placement;
    int turns;
    QRectF art;
    QSizeF box;
  };
  const Case cases[] = {
      // A square work fitted: full height, centred.
      {"fit", Placement::framed(1.0, Framing::fit), 0, {60, 0, 200, 200}, {200, 200}},
      // Filled: covers the width and overflows above and below.
      {"fill", Placement::framed(1.0, Framing::fill), 0, {0, -60, 320, 320}, {320, 320}},
      {"full bleed", Placement::fullBleed(), 0, {0, 0, 320, 200}, {320, 200}},
      // A work turned once: the placement's ratio is already the turned one
      // (2:1 here); the still's box is the upright 1:2.
      {"quarter turn", Placement::framed(2.0, Framing::fit), 1, {0, 20, 320, 160}, {160, 320}},
      {"three turns", Placement::framed(2.0, Framing::fit), -1, {0, 20, 320, 160}, {160, 320}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto g = PreviewGeometry::of(c.placement, miniature, c.turns);
    EXPECT_EQ(g.art, c.art);
    EXPECT_EQ(g.stillBox, c.box);
    EXPECT_EQ(g.bounds, QRectF(0, 0, 320, 200));
    EXPECT_FALSE(g.frame.has_value());
  }
}

TEST(PreviewGeometry, MatAndFrameSitInsideTheScreen) {
  const auto mat = PreviewGeometry::of(Placement::framed(1.0, Framing::passePartout), miniature, 0);
  const auto fit = PreviewGeometry::of(Placement::framed(1.0, Framing::fit), miniature, 0);
  EXPECT_LT(mat.art.height(), fit.art.height());  // the mat shows around it
  EXPECT_NEAR(mat.art.width(), mat.art.height(), 1);
  EXPECT_EQ(mat.art.center(), fit.art.center());

  const auto framed = PreviewGeometry::of(Placement::inFrame(FrameStyle::galleryWhite, 0.75), miniature, 0);
  ASSERT_EQ(framed.frame, FrameStyle::galleryWhite);
  EXPECT_TRUE(QRectF(0, 0, 320, 200).contains(framed.art));
  EXPECT_NEAR(framed.art.width() / framed.art.height(), 0.75, 0.02);
  // The frame's layout is y-up; the miniature's rectangle is the same one turned y-down.
  const auto layout = FrameRenderer::layout(FrameStyle::galleryWhite, 0.75, {0, 0, 320, 200});
  EXPECT_EQ(framed.art, layout.art.toQt(200));
}

TEST(PreviewGeometry, WhichLayerShows) {
  const auto upright = PreviewGeometry::of(Placement::fullBleed(), miniature, 0);
  const auto turned = PreviewGeometry::of(Placement::fullBleed(), miniature, 1);
  EXPECT_EQ(upright.layer(true, false), PreviewGeometry::Layer::live);  // before any still
  EXPECT_EQ(upright.layer(false, false), PreviewGeometry::Layer::spinner);
  EXPECT_EQ(upright.layer(false, true), PreviewGeometry::Layer::still);
  // A turned work never runs live.
  EXPECT_EQ(turned.layer(true, true), PreviewGeometry::Layer::still);
  EXPECT_EQ(turned.layer(true, false), PreviewGeometry::Layer::spinner);
}

QImage painted(const PreviewGeometry& g, const QImage& still) {
  QImage canvas(g.bounds.size().toSize(), QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  QPainter p(&canvas);
  QImage surround;
  if (g.frame) surround = FrameRenderer::surround(*g.frame, g.frameRatio, g.bounds.size() * 2);
  g.paint(p, QColor(40, 40, 40), surround, still);
  return canvas;
}

TEST(PreviewGeometry, Pictures) {
  const QImage still = fourCorners(200, 100);
  // On a mat: the matte all around, the still's quarters where they belong.
  const auto mat = PreviewGeometry::of(Placement::framed(2.0, Framing::passePartout), miniature, 0);
  const QImage matPicture = painted(mat, still);
  EXPECT_TRUE(testing::colorNear(matPicture, 2, 2, QColor(40, 40, 40), 2));
  testing::expectCorners(matPicture, Rect{mat.art.x(), 200 - mat.art.bottom(), mat.art.width(), mat.art.height()},
                         testing::red, testing::green, testing::blue, testing::yellow);
  testing::expectReference(matPicture, "preview-mat", 24, 200);

  // One quarter turn clockwise: the top-left quarter goes to the top right.
  const auto turned = PreviewGeometry::of(Placement::framed(0.5, Framing::fit), miniature, 1);
  const QImage turnedPicture = painted(turned, still);
  const auto& a = turned.art;
  testing::expectCorners(turnedPicture, Rect{a.x(), 200 - a.bottom(), a.width(), a.height()}, testing::blue,
                         testing::red, testing::yellow, testing::green);
  testing::expectReference(turnedPicture, "preview-turned", 24, 200);

  // Filled: the overflow is cut at the miniature's edge.
  const auto fill = PreviewGeometry::of(Placement::framed(1.0, Framing::fill), miniature, 0);
  const QImage fillPicture = painted(fill, fourCorners(100, 100));
  EXPECT_TRUE(testing::colorNear(fillPicture, 1, 1, testing::red, 8));
  EXPECT_TRUE(testing::colorNear(fillPicture, 318, 198, testing::yellow, 8));

  const auto framed = PreviewGeometry::of(Placement::inFrame(FrameStyle::naturalOak, 2.0), miniature, 0);
  testing::expectReference(painted(framed, still), "preview-framed", 24, 200);
}

}  // namespace
}  // namespace tavolune
