#pragma once
// The popover as the benchmarks open it: no updater, feedback or saver, and
// a fixed status line. GUI thread only.

#include "app/menubar/MenuBarContent.hpp"

#include <QThreadPool>

namespace tavolune::bench {

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
