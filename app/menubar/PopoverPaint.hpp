#pragma once
// The popover's shared drawing helpers: its text colours (primary,
// secondary, tertiary over the palette's text) and symbols drawn in one
// colour, kept in Qt's pixmap cache. GUI thread only.

#include "app/style/Symbols.hpp"

#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QPixmapCache>
#include <QString>
#include <QWidget>

#include <string_view>

namespace tavolune::PopoverPaint {

inline QColor primary(const QPalette& palette) { return palette.color(QPalette::WindowText); }
inline QColor withAlpha(QColor c, double alpha) {
  c.setAlphaF(float(c.alphaF() * alpha));
  return c;
}
inline QColor secondary(const QPalette& palette) { return withAlpha(primary(palette), 0.55); }
inline QColor tertiary(const QPalette& palette) { return withAlpha(primary(palette), 0.3); }

// Draws the widget's text in that colour.
inline void setInk(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, color);
  widget->setPalette(p);
}

// The system font at a pixel size and weight.
inline QFont font(int pixelSize, QFont::Weight weight = QFont::Normal) {
  QFont f;
  f.setPixelSize(pixelSize);
  f.setWeight(weight);
  return f;
}

// The symbol's drawing at `side` logical pixels in one colour.
inline QPixmap symbol(std::string_view name, int side, const QColor& color, qreal dpr) {
  const QString key = QStringLiteral("popover:%1:%2:%3:%4")
                          .arg(QString::fromLatin1(name.data(), qsizetype(name.size())))
                          .arg(side)
                          .arg(color.rgba(), 8, 16)
                          .arg(dpr);
  QPixmap pixmap;
  if (QPixmapCache::find(key, &pixmap)) return pixmap;
  pixmap = Symbols::tinted(name, QSize(side, side), color, dpr);
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

}  // namespace tavolune::PopoverPaint
