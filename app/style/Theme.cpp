#include "app/style/Theme.hpp"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <array>

namespace tavolune::Theme {

QColor accent() { return accent(QGuiApplication::palette()); }
QColor accent(const QPalette& palette) { return palette.color(QPalette::Active, QPalette::Highlight); }

bool isDark(const QPalette& palette) {
  return palette.color(QPalette::Window).lightnessF() < palette.color(QPalette::WindowText).lightnessF();
}

QColor wallColor(const QPalette& palette) {
  const double white = isDark(palette) ? 0.105 : 0.965;
  return QColor::fromRgbF(white, white, white, 1.0);
}
QColor wallColor() { return wallColor(QGuiApplication::palette()); }

QColor matte() { return QColor::fromRgbF(0.11, 0.11, 0.11, 1.0); }

QFont label() {
  QFont f = QGuiApplication::font();
  f.setPixelSize(10);
  f.setWeight(QFont::DemiBold);
  f.setStretch(QFont::Expanded);
  return f;
}

QFont caption() {
  QFont f = QGuiApplication::font();
  f.setPixelSize(11);
  return f;
}

QFont callout() {
  QFont f = QGuiApplication::font();
  f.setPixelSize(13);
  return f;
}

QFont monospacedDigits(QFont font) {
  const QFontMetricsF metrics(font);
  const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
  bool even = true;
  for (char d = '1'; d <= '9' && even; ++d) even = metrics.horizontalAdvance(QLatin1Char(d)) == zero;
  if (even) return font;
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (font.pixelSize() > 0) {
    fixed.setPixelSize(font.pixelSize());
  } else {
    fixed.setPointSizeF(font.pointSizeF());
  }
  fixed.setWeight(font.weight());
  return fixed;
}

QColor chainColor(Chain chain) {
  struct Rgb {
    double r, g, b;
  };
  static constexpr std::array<Rgb, 7> colors{{
      {0.42, 0.45, 0.80},  // ethereum
      {0.00, 0.32, 1.00},  // base
      {1.00, 0.02, 0.13},  // optimism
      {0.16, 0.62, 0.94},  // arbitrum
      {0.51, 0.28, 0.90},  // polygon
      {0.17, 0.47, 0.95},  // tezos
      {0.97, 0.58, 0.10},  // bitcoin
  }};
  const auto& c = colors[static_cast<std::size_t>(chain)];
  return QColor::fromRgbF(static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b), 1.0f);
}

}  // namespace tavolune::Theme
