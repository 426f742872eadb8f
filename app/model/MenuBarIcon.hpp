#pragma once
// The tray icon's two pictures: a framed picture hanging from a rail, with a
// sun and a hill when idle and filled while a live work plays. Drawn from
// one 18 x 16 point geometry at the pixel sizes tray hosts ask for. GUI
// thread only (QIcon).

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPalette>

#include <array>

namespace tavolune::MenuBarIcon {

// 16, 22, 24 and 32 pixels and their doubles.
inline constexpr std::array<int, 7> pixelSizes{16, 22, 24, 32, 44, 48, 64};

// Light ink on a dark panel, dark ink on a light one.
QColor inkFor(const QPalette& palette);
// A square image of that many pixels, transparent around the drawing.
QImage draw(bool live, int pixels, const QColor& ink);
// Every size, in the ink for the application's palette.
QIcon icon(bool live);
inline QIcon idle() { return icon(false); }
inline QIcon playing() { return icon(true); }

}  // namespace tavolune::MenuBarIcon
