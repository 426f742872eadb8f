#include "app/render/FrameRenderer.hpp"
#include "app/render/WallpaperComposer.hpp"

#include "tests/app/render/TestImages.hpp"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using namespace tavolune::testing;
namespace WC = WallpaperComposer;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(WallpaperComposer, ArtRectForFitFillAndMat) {
  const Rect square{0, 0, 1000, 1000};
  EXPECT_EQ(WC::artRect(2, square, Framing::fit), (Rect{0, 250, 1000, 500}));
  EXPECT_EQ(WC::artRect(2, square, Framing::passePartout), (Rect{110, 305, 780, 390}));
  // Fill covers the rect and overflows one axis, unrounded.
  EXPECT_EQ(WC::artRect(1, Rect{0, 0, 1600, 900}, Framing::fill), (Rect{0, -350, 1600, 1600}));
  EXPECT_EQ(WC::artRect(0.5, Rect{0, 0, 1600, 900}, Framing::fill), (Rect{0, -1150, 1600, 3200}));
  EXPECT_EQ(WC::artRect(3, Rect{0, 0, 1600, 900}, Framing::fill), (Rect{-550, 0, 2700, 900}));
  // A tall work in a wide rect is limited by height, centred horizontally.
  EXPECT_EQ(WC::artRect(0.5, Rect{0, 0, 1600, 900}, Framing::fit), (Rect{575, 0, 450, 900}));
  // Fractional edges are widened outward to whole pixels.
  EXPECT_EQ(WC::artRect(3, Rect{0, 0, 100, 100}, Framing::fit), (Rect{0, 33, 100, 34}));
  // An offset rect keeps its origin.
  EXPECT_EQ(WC::artRect(1, Rect{50, 20, 200, 100}, Framing::fit), (Rect{100, 20, 100, 100}));
}

TEST(WallpaperComposer, ArtRectTreatsUnusableAspectsAsSquare) {
  const Rect wide{0, 0, 1000, 500};
  for (double bad : {0.0, -2.0, nan, inf, -inf}) {
    EXPECT_EQ(WC::artRect(bad, wide, Framing::fit), (Rect{250, 0, 500, 500})) << bad;
    EXPECT_EQ(WC::artRect(bad, wide, Framing::fill), (Rect{0, -250, 1000, 1000})) << bad;
  }
  EXPECT_EQ(WC::artRect(1, Rect{nan, 0, 100, 100}, Framing::fit), Rect{});
  EXPECT_EQ(WC::artRect(1, Rect{0, 0, inf, 100}, Framing::fill), Rect{});
  // A rect given with negative extent is read as its positive twin.
  EXPECT_EQ(WC::artRect(2, Rect{1000, 1000, -1000, -1000}, Framing::fit), (Rect{0, 250, 1000, 500}));
}

TEST(WallpaperComposer, ComposeRefusesSizesThatAreNotPictures) {
  const QImage image = fourCorners(40, 20);
  EXPECT_TRUE(WC::compose(image, QSizeF(0.5, 900), Framing::fit, std::nullopt).isNull());
  EXPECT_TRUE(WC::compose(image, QSizeF(900, -3), Framing::fit, std::nullopt).isNull());
  EXPECT_TRUE(WC::compose(image, QSizeF(nan, 900), Framing::fit, std::nullopt).isNull());
  EXPECT_TRUE(WC::compose(image, QSizeF(900, inf), Framing::fill, std::nullopt).isNull());
  EXPECT_TRUE(WC::compose(image, QSizeF(1e300, 900), Framing::fill, std::nullopt).isNull());
  EXPECT_TRUE(WC::compose(QImage(), QSizeF(100, 100), Framing::fit, std::nullopt).isNull());
  EXPECT_TRUE(WC::composeFramed(image, QSizeF(100, 0.99), FrameStyle::galleryWhite).isNull());
  EXPECT_TRUE(WC::composeFramed(image, QSizeF(nan, nan), FrameStyle::none).isNull());
  EXPECT_TRUE(WC::composeFramed(QImage(), QSizeF(100, 100), FrameStyle::none).isNull());

  const QImage truncated = WC::compose(image, QSizeF(120.9, 80.2), Framing::fit, WC::defaultMatte());
  EXPECT_EQ(truncated.size(), QSize(120, 80));
}

TEST(WallpaperComposer, ComposeKeepsThePictureUprightForEveryFraming) {
  const QImage art = fourCorners(200, 100);
  const QSize screen(400, 400);
  for (Framing framing : {Framing::fit, Framing::passePartout}) {
    const QImage out = WC::compose(art, screen, framing, QColor(Qt::magenta));
    ASSERT_EQ(out.size(), screen);
    const Rect r = WC::artRect(2, Rect{0, 0, 400, 400}, framing);
    expectCorners(out, r, red, green, blue, yellow);
    EXPECT_TRUE(colorNear(out, 200, 5, QColor(Qt::magenta), 2));
    EXPECT_TRUE(colorNear(out, 200, 394, QColor(Qt::magenta), 2));
  }
  // Fill crops the sides of a wide work on a square screen.
  const QImage filled = WC::compose(art, screen, Framing::fill, QColor(Qt::magenta));
  EXPECT_TRUE(colorNear(filled, 5, 5, red, 24));
  EXPECT_TRUE(colorNear(filled, 394, 5, green, 24));
  EXPECT_TRUE(colorNear(filled, 5, 394, blue, 24));
  EXPECT_TRUE(colorNear(filled, 394, 394, yellow, 24));
}

TEST(WallpaperComposer, FillOfAnExtremeShapeShowsItsMiddle) {
  // 4 x 4000: red above, blue below; filled onto a wide screen only a thin
  // band around the middle row is visible, stretched a hundredfold.
  QImage strip = solid(4, 4000, red);
  QPainter(&strip).fillRect(0, 2000, 4, 2000, blue);
  const QImage out = WC::compose(strip, QSize(400, 300), Framing::fill, QColor(Qt::magenta));
  ASSERT_EQ(out.size(), QSize(400, 300));
  EXPECT_TRUE(colorNear(out, 200, 40, red, 2));
  EXPECT_TRUE(colorNear(out, 200, 260, blue, 2));
  EXPECT_TRUE(colorNear(out, 5, 149 - 60, red, 2));
  EXPECT_TRUE(colorNear(out, 395, 151 + 60, blue, 2));

  // And a picture far larger than the screen is averaged, not sampled: fine
  // black and white stripes come out as an even grey.
  QImage stripes(3000, 3000, QImage::Format_RGB32);
  for (int y = 0; y < 3000; ++y) {
    auto* row = reinterpret_cast<QRgb*>(stripes.scanLine(y));
    for (int x = 0; x < 3000; ++x) row[x] = (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
  }
  const QImage grey = WC::compose(stripes, QSize(300, 300), Framing::fit, QColor(Qt::magenta));
  for (int x = 20; x < 280; x += 37) EXPECT_NEAR(qGray(grey.pixel(x, 150)), 128, 12) << x;
}

TEST(WallpaperComposer, ComposeBackgroundIsTheMatteElseTheEdgeColour) {
  const QImage art = solid(60, 30, QColor(100, 150, 200));
  // A screen-sized canvas is made another way than a small one: both rows.
  for (const QSize size : {QSize(300, 300), QSize(3000, 1700)}) {
    const int w = size.width(), h = size.height();
    const QImage sampled = WC::compose(art, size, Framing::fit, std::nullopt);
    EXPECT_TRUE(colorNear(sampled, 5, 5, QColor(92, 138, 184), 2)) << w;
    EXPECT_TRUE(colorNear(sampled, w - 1, h - 1, QColor(92, 138, 184), 2)) << w;
    const QImage matted = WC::compose(art, size, Framing::fit, QColor(10, 200, 30));
    EXPECT_TRUE(colorNear(matted, 5, 5, QColor(10, 200, 30), 1)) << w;
    EXPECT_TRUE(colorNear(matted, w - 1, h - 1, QColor(10, 200, 30), 1)) << w;
    EXPECT_TRUE(colorNear(matted, w / 2, h / 2, QColor(100, 150, 200), 1)) << w;
    // A translucent matte stays translucent around the work.
    const QImage veiled = WC::compose(art, size, Framing::fit, QColor(10, 200, 30, 128));
    EXPECT_NEAR(veiled.pixelColor(w - 1, h - 1).alpha(), 128, 1) << w;
    EXPECT_TRUE(colorNear(veiled, w - 1, h - 1, QColor(10, 200, 30), 2)) << w;
    EXPECT_EQ(veiled.pixelColor(w / 2, h / 2).alpha(), 255) << w;
  }
}

TEST(WallpaperComposer, OnlyTheMatCastsAShadowAndItFallsDownwards) {
  const QImage white = solid(100, 100, Qt::white);
  const QColor matte(200, 200, 200);
  const QSize screen(900, 900);
  const QImage mat = WC::compose(white, screen, Framing::passePartout, matte);
  const QRectF r = WC::artRect(1, Rect{0, 0, 900, 900}, Framing::passePartout).toQt(900);
  const int below = luminance(mat, 450, int(r.bottom()) + 4);
  const int above = luminance(mat, 450, int(r.top()) - 5);
  EXPECT_LT(below, 200 - 8) << "shadow under the work";
  EXPECT_LT(below, above) << "the shadow falls down, not up";
  EXPECT_TRUE(colorNear(mat, 5, 5, matte, 1)) << "far from the work the matte is untouched";

  for (Framing framing : {Framing::fit, Framing::fill}) {
    const QImage tall = solid(100, 200, Qt::white);
    const QImage out = WC::compose(tall, screen, framing, matte);
    const QRectF a = WC::artRect(0.5, Rect{0, 0, 900, 900}, framing).toQt(900);
    if (framing == Framing::fit) {
      EXPECT_TRUE(colorNear(out, int(a.left()) - 3, 450, matte, 0));
      EXPECT_TRUE(colorNear(out, int(a.right()) + 3, 450, matte, 0));
    } else {
      EXPECT_TRUE(colorNear(out, 450, 450, QColor(Qt::white), 0));
      EXPECT_TRUE(colorNear(out, 2, 2, QColor(Qt::white), 0));
    }
  }
}

TEST(WallpaperComposer, QuarterTurnsTurnClockwise) {
  const QImage art = fourCorners(80, 40);
  EXPECT_EQ(WC::rotated(art, 0).cacheKey(), art.cacheKey()) << "no turn hands back the same image";
  EXPECT_EQ(WC::rotated(art, 4).cacheKey(), art.cacheKey());
  EXPECT_EQ(WC::rotated(art, -8).cacheKey(), art.cacheKey());

  struct Case {
    int turns;
    QColor tl, tr, bl, br;
  };
  const Case cases[] = {
      {1, blue, red, yellow, green},  {-3, blue, red, yellow, green}, {2, yellow, blue, green, red},
      {-2, yellow, blue, green, red}, {3, green, yellow, red, blue},  {-1, green, yellow, red, blue},
      {5, blue, red, yellow, green},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.turns);
    const QImage turned = WC::rotated(art, c.turns);
    ASSERT_EQ(turned.size(), (c.turns & 1) ? QSize(40, 80) : QSize(80, 40));
    expectCorners(turned, Rect{0, 0, double(turned.width()), double(turned.height())}, c.tl, c.tr, c.bl, c.br, 0);
  }
}

TEST(WallpaperComposer, TurnedPicturesStayTurnedFramedAndUnframed) {
  const QImage art = fourCorners(120, 80);
  // Corners as seen after 0..3 clockwise quarter turns: top left, top right, bottom left, bottom right.
  const QColor seen[4][4] = {{red, green, blue, yellow},
                             {blue, red, yellow, green},
                             {yellow, blue, green, red},
                             {green, yellow, red, blue}};
  const QSize screen(640, 400);
  const Rect canvas{0, 0, 640, 400};
  for (int t = 0; t < 4; ++t) {
    SCOPED_TRACE(t);
    const QImage turned = WC::rotated(art, t);
    const double aspect = double(turned.width()) / turned.height();
    for (Framing framing : {Framing::fit, Framing::passePartout}) {
      SCOPED_TRACE(int(framing));
      const QImage out = WC::compose(turned, screen, framing, WC::defaultMatte());
      expectCorners(out, WC::artRect(aspect, canvas, framing), seen[t][0], seen[t][1], seen[t][2], seen[t][3]);
    }
    for (FrameStyle style : {FrameStyle::none, FrameStyle::galleryWhite, FrameStyle::blackFloat,
                             FrameStyle::naturalOak, FrameStyle::museumLight}) {
      SCOPED_TRACE(int(style));
      const QImage out = WC::composeFramed(turned, screen, style);
      ASSERT_EQ(out.size(), screen);
      const FrameRenderer::Layout l = FrameRenderer::layout(style, aspect, canvas);
      expectCorners(out, l.art, seen[t][0], seen[t][1], seen[t][2], seen[t][3]);
    }
  }
}

TEST(WallpaperComposer, EdgeColourIsTheDarkenedBorderMean) {
  const QColor c = WC::edgeColor(solid(50, 70, QColor(100, 150, 200)));
  EXPECT_NEAR(c.redF(), 0.92 * 100 / 255, 0.006);
  EXPECT_NEAR(c.greenF(), 0.92 * 150 / 255, 0.006);
  EXPECT_NEAR(c.blueF(), 0.92 * 200 / 255, 0.006);
  EXPECT_EQ(c.alpha(), 255);

  const QColor clear = WC::edgeColor(solid(30, 30, Qt::transparent));
  EXPECT_EQ(clear, QColor(0, 0, 0, 255)) << "transparent borders count as black";

  // Only the border counts: a bright centre does not lift a dark frame.
  QImage framed = solid(240, 240, QColor(0, 0, 255));
  QPainter(&framed).fillRect(30, 30, 180, 180, Qt::white);
  const QColor edge = WC::edgeColor(framed);
  EXPECT_LT(edge.redF(), 0.03);
  EXPECT_NEAR(edge.blueF(), 0.92, 0.01);
}

TEST(WallpaperComposer, ThumbprintIsTopRowFirstGrey) {
  QImage image = solid(100, 100, Qt::black);
  QPainter(&image).fillRect(0, 0, 100, 50, Qt::white);
  const WC::Thumbprint print = WC::thumbprint(image);
  ASSERT_EQ(print.size(), 576u);
  EXPECT_EQ(print.front(), 255) << "row 0 is the top of the picture";
  EXPECT_EQ(print.back(), 0);
  EXPECT_EQ(WC::thumbprint(QImage()), WC::Thumbprint(576, 0));
  EXPECT_TRUE(WC::looksEmpty(WC::thumbprint(solid(10, 10, QColor(90, 90, 90)))));
  EXPECT_FALSE(WC::looksEmpty(print));
}

TEST(WallpaperComposer, LooksEmptyAndDifference) {
  EXPECT_TRUE(WC::looksEmpty({}));
  WC::Thumbprint print(576, 120);
  EXPECT_TRUE(WC::looksEmpty(print));
  for (int i = 0; i < 5; ++i) print[std::size_t(i * 7)] = 250;
  EXPECT_TRUE(WC::looksEmpty(print)) << "5 strays of 576";
  print[400] = 0;
  EXPECT_FALSE(WC::looksEmpty(print)) << "6 strays of 576";
  WC::Thumbprint gentle(576, 120);
  for (std::size_t i = 0; i < 576; i += 2) gentle[i] = 128;  // within 8 of the median
  EXPECT_TRUE(WC::looksEmpty(gentle));

  const WC::Thumbprint black(576, 0), white(576, 255);
  EXPECT_EQ(WC::difference(black, black), 0.0);
  EXPECT_EQ(WC::difference(black, white), 1.0);
  EXPECT_EQ(WC::difference(black, WC::Thumbprint(575, 0)), 1.0);
  EXPECT_EQ(WC::difference({}, {}), 1.0);
  WC::Thumbprint half(576, 0);
  std::fill(half.begin(), half.begin() + 288, 255);
  EXPECT_DOUBLE_EQ(WC::difference(black, half), 0.5);
}

TEST(WallpaperComposer, EncodingRoundTrips) {
  const QImage art = fourCorners(64, 48);
  const auto png = WC::pngData(art);
  ASSERT_TRUE(png);
  EXPECT_TRUE(png->startsWith("\x89PNG"));
  const QImage fromPng = QImage::fromData(*png).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(fromPng, art);

  const auto jpeg = WC::jpegData(art, 0.92);
  ASSERT_TRUE(jpeg);
  EXPECT_TRUE(jpeg->startsWith("\xFF\xD8"));
  const QImage fromJpeg = QImage::fromData(*jpeg);
  ASSERT_EQ(fromJpeg.size(), art.size());
  expectCorners(fromJpeg, Rect{0, 0, 64, 48}, red, green, blue, yellow, 12);

  const auto rough = WC::jpegData(art, 0.05);
  ASSERT_TRUE(rough);
  EXPECT_LT(rough->size(), jpeg->size()) << "quality reaches the encoder";
  EXPECT_TRUE(WC::jpegData(art, 7.0)) << "clamped to 1";
  EXPECT_FALSE(WC::jpegData(art, nan));
  EXPECT_FALSE(WC::pngData(QImage()));
  EXPECT_FALSE(WC::jpegData(QImage(), 0.9));

  // A large picture is encoded in bands at once, and decodes to what the
  // encoder gives it in one go; its last band is shorter than the others.
  QImage large(1100, 2001, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < large.height(); ++y) {
    for (int x = 0; x < large.width(); ++x) large.setPixel(x, y, qRgb(x * 7 % 256, y * 3 % 256, (x ^ y) % 256));
  }
  QByteArray whole;
  QBuffer buffer(&whole);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(large.save(&buffer, "jpeg", 92));
  const auto banded = WC::jpegData(large, 0.92);
  ASSERT_TRUE(banded);
  EXPECT_TRUE(banded->contains("\xFF\xDD")) << "restart intervals between the bands";
  const QImage fromBands = QImage::fromData(*banded);
  ASSERT_EQ(fromBands.size(), large.size());
  EXPECT_EQ(fromBands, QImage::fromData(whole));
}

}  // namespace
}  // namespace tavolune
