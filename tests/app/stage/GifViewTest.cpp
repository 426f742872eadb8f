#include "app/stage/GifView.hpp"

#include "tests/app/render/TestImages.hpp"
#include "tests/support/TinyGif.hpp"

#include <QFile>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

QByteArray encoded(const char* format) {
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, format).write(image)) << format;
  return bytes;
}

TEST(GifView, PlaysRastersOnlyAndNeverSvg) {
  struct Row {
    const char* name;
    QByteArray bytes;
    QSize size;  // empty: not played
  };
  QFile file(QString::fromStdString(testing::testData("red-then-green.webp")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray webp = file.readAll();
  const Row rows[] = {
      {"GIF", QByteArray::fromStdString(testsupport::tinyGif()), QSize(1, 1)},
      {"PNG served as a GIF", encoded("png"), QSize(8, 6)},
      {"animated WebP, a still here", webp, QSize()},
      {"SVG", R"(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="6"><rect width="8" height="6"/></svg>)",
       QSize()},
  };
  for (const auto& row : rows) {
    auto view = GifView::make(row.bytes, nullptr);
    EXPECT_EQ(view ? view->currentImage().size() : QSize(), row.size) << row.name;
  }
}

}  // namespace
}  // namespace tavolune
