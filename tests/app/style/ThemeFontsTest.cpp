// Figures of one width, whatever font the desktop gives.
#include "app/style/Theme.hpp"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(ThemeFonts, MonospacedDigitsShareOneWidthInEveryFont) {
  for (const QString& family : QFontDatabase::families()) {
    QFont asked(family);
    asked.setPixelSize(13);
    asked.setWeight(QFont::Medium);
    const QFont digits = Theme::monospacedDigits(asked);
    const QFontMetricsF metrics(digits);
    for (char d = '1'; d <= '9'; ++d) {
      EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(d)), metrics.horizontalAdvance(QLatin1Char('0')))
          << family.toStdString() << " " << d;
    }
    EXPECT_EQ(digits.pixelSize(), 13) << family.toStdString();
    EXPECT_EQ(digits.weight(), QFont::Medium) << family.toStdString();
  }
}

}  // namespace
}  // namespace tavolune
