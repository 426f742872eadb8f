#include "app/style/WindowIcon.hpp"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(WindowIcon, HandsOutItsOwnPixmapsForEveryWindowIconSize) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("icon.svg"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" height="8" fill="#c03"/></svg>)");
  file.close();

  const QIcon icon = renderedWindowIcon(path);
  ASSERT_FALSE(icon.isNull());
  for (const int side : windowIconSizes) {
    SCOPED_TRACE(side);
    const QSize size(side, side);
    EXPECT_TRUE(icon.availableSizes().contains(size));
    const QPixmap first = icon.pixmap(size);
    EXPECT_EQ(first.size(), size);
    // Drawn once: the same pixmap each time, not a fresh render to cache.
    EXPECT_EQ(icon.pixmap(size).cacheKey(), first.cacheKey());
    EXPECT_EQ(first.toImage().pixelColor(side / 2, side / 2), QColor(0xcc, 0x00, 0x33));
  }
  EXPECT_EQ(icon.pixmap(QSize(24, 24)).size(), QSize(24, 24));
  EXPECT_TRUE(renderedWindowIcon(dir.filePath(QStringLiteral("missing.svg"))).isNull());
}

}  // namespace
}  // namespace tavolune
