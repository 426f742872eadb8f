#pragma once
// The icons named by symbol ("play.fill", "gearshape", ...): one table maps
// each symbol to a freedesktop icon name, with a small SVG of our own
// (compiled in) where the icon theme lacks it. GUI thread only.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <span>
#include <string_view>

namespace tavolune::Symbols {

struct Entry {
  std::string_view symbol;
  std::string_view themeName;  // freedesktop icon name; empty when none fits
  std::string_view fallback;   // file name under ":/tavolune/symbols/", without ".svg"
};

std::span<const Entry> table();

// The theme's icon, else the bundled drawing; a null icon for a symbol not
// in the table.
QIcon icon(std::string_view symbol);
// The bundled drawing only.
QIcon fallbackIcon(std::string_view symbol);
// The bundled drawing in one colour, at `size` logical pixels: for symbols
// that take the text colour. Null for an unknown symbol.
QPixmap tinted(std::string_view symbol, QSize size, const QColor& color, qreal devicePixelRatio = 1.0);

// The application icon (":/tavolune/icons/tavolune.svg"), with the
// installed theme icon "tavolune" first.
QIcon applicationIcon();

}  // namespace tavolune::Symbols
