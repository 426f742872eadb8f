#pragma once

#include "app/render/Geometry.hpp"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tavolune::testing {

inline const QColor red{230, 20, 20};
inline const QColor green{20, 200, 40};
inline const QColor blue{30, 40, 220};
inline const QColor yellow{240, 220, 30};

// A picture whose four quarters have four colours: red top left, green top
// right, blue bottom left, yellow bottom right (as seen).
inline QImage fourCorners(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  p.fillRect(0, 0, w / 2, h / 2, red);
  p.fillRect(w / 2, 0, w - w / 2, h / 2, green);
  p.fillRect(0, h / 2, w / 2, h - h / 2, blue);
  p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, yellow);
  return image;
}

inline QImage solid(int w, int h, const QColor& c, QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
  QImage image(w, h, format);
  image.fill(c);
  return image;
}

inline ::testing::AssertionResult colorNear(const QImage& image, int x, int y, const QColor& want, int tolerance) {
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
    return ::testing::AssertionFailure() << "(" << x << "," << y << ") lies outside " << image.width() << "x"
                                         << image.height();
  const QColor got = image.pixelColor(x, y);
  const int d = std::max({std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                          std::abs(got.blue() - want.blue())});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << got.name().toStdString()
                                       << ", expected " << want.name().toStdString() << " within " << tolerance;
}

inline int luminance(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)); }

// The four quarters of a y-up rectangle on a y-down image, sampled a little
// inside each corner: top-left, top-right, bottom-left, bottom-right as seen.
inline void expectCorners(const QImage& image, const Rect& r, const QColor& tl, const QColor& tr, const QColor& bl,
                          const QColor& br, int tolerance = 24) {
  const QRectF q = r.toQt(image.height());
  const int inX = std::max(2, int(q.width() / 8));
  const int inY = std::max(2, int(q.height() / 8));
  const int left = int(q.left()) + inX, right = int(q.right()) - inX;
  const int top = int(q.top()) + inY, bottom = int(q.bottom()) - inY;
  EXPECT_TRUE(colorNear(image, left, top, tl, tolerance)) << "top left";
  EXPECT_TRUE(colorNear(image, right, top, tr, tolerance)) << "top right";
  EXPECT_TRUE(colorNear(image, left, bottom, bl, tolerance)) << "bottom left";
  EXPECT_TRUE(colorNear(image, right, bottom, br, tolerance)) << "bottom right";
}

inline std::string testData(const std::string& name) {
  const char* dir = std::getenv("TAVOLUNE_TEST_DATA");
  return std::string(dir ? dir : TAVOLUNE_APP_TEST_DATA) + "/" + name;
}

// Reference pictures catch unintended changes of a drawing: at most one pixel
// in `share` may differ from reference/<name>.png by more than `levels` in a
// channel. With TAVOLUNE_UPDATE_REFERENCES set the reference is rewritten
// instead: look at it before committing.
inline void expectReference(const QImage& image, const std::string& name, int levels, int share) {
  SCOPED_TRACE(name);
  const QString path = QString::fromStdString(testData("reference/" + name + ".png"));
  if (qEnvironmentVariableIsSet("TAVOLUNE_UPDATE_REFERENCES")) {
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path, "png"));
    return;
  }
  const QImage ref = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  ASSERT_FALSE(ref.isNull()) << "missing " << path.toStdString();
  ASSERT_EQ(ref.size(), image.size());
  int off = 0;
  for (int y = 0; y < ref.height(); ++y) {
    for (int x = 0; x < ref.width(); ++x) off += !colorNear(image, x, y, ref.pixelColor(x, y), levels);
  }
  EXPECT_LE(off, ref.width() * ref.height() / share) << "pixels off by more than " << levels << " levels";
}

}  // namespace tavolune::testing
