#pragma once
// The popover as the benchmarks open it: no updater, feedback or saver, and
// a fixed status line. GUI thread only.

#include "app/menubar/MenuBarContent.hpp"
#include "app/platform/DisplaySource.hpp"

#include <QThreadPool>

namespace tavolune::bench {

// The one display of the desktop behind the popover.
inline Display mainDisplay() {
  Display d;
  d.key = "display-1";
  d.number = 1;
  d.isMain = true;
  d.geometry = d.available = QRect(0, 0, 2560, 1440);
  return d;
}

inline MenuBarContent::Services popoverServices(AppModel& model, DesktopController& desktop, WindowManager& windows) {
  return {.model = model,
          .desktop = desktop,
          .windows = windows,
          .images = {model.media().images(), *QThreadPool::globalInstance(), {}},
          .build = {},
          .updater = {},
          .sendFeedback = {},
          .showScreenSaver = {},
          .quit = {},
          .statusLine = [] { return QStringLiteral("Showing a still"); }};
}

}  // namespace tavolune::bench
