#pragma once
// The program's window icon, drawn once per size from its SVG. Every native
// top-level (each wall label, stage and window) reads the application icon
// when it is created; Qt's own icon engines park those pixmaps in the shared
// pixmap cache, whose trimming timer then wakes the idle program every 10 to
// 30 s until the cache drains. This one hands out its own pixmaps instead.
// GUI thread only.

#include <QIcon>
#include <QString>

namespace tavolune {

// The sizes an X11 window icon carries.
inline constexpr int windowIconSizes[] = {16, 32, 64, 128};

// A null icon when the SVG cannot be read.
QIcon renderedWindowIcon(const QString& svgPath);

}  // namespace tavolune
