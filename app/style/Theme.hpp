#pragma once
// The shared colours and fonts: accent, wall, matte, the label and caption
// fonts and one colour per chain. GUI thread only (reads the application
// palette and font); nothing here blocks or keeps state.

#include <QColor>
#include <QFont>
#include <QPalette>

#include "core/model/Chain.hpp"

namespace tavolune::Theme {

// The system accent: the palette's highlight (Qt 6.4 has no accent role).
QColor accent();
QColor accent(const QPalette& palette);

// Qt 6.4 has no colour-scheme hint: a palette whose window is darker than
// its text is dark. Equal lightness counts as light.
bool isDark(const QPalette& palette);

// White 0.105 on a dark palette, 0.965 on a light one. Widgets resolve it
// against their own palette, so it follows each window's appearance.
QColor wallColor(const QPalette& palette);
QColor wallColor();  // the application palette

QColor matte();  // sRGB white 0.11

// System font, 10 px, semibold, expanded width: small headings.
QFont label();
// System font, 11 px.
QFont caption();
// System font, 13 px: the secondary texts beside a control or a value.
QFont callout();
// The font with digits of one width, so a number that changes does not move
// what stands beside it. Qt 6.4 cannot turn on a font's tabular figures: a
// font whose figures differ in width gives way to the system's fixed-pitch
// font at the same size and weight.
QFont monospacedDigits(QFont font);

QColor chainColor(Chain chain);

}  // namespace tavolune::Theme
