#pragma once
// The one application object of the benchmark process. The web engine needs
// its scheme before the application exists, so every app benchmark makes it
// here. GUI thread only.

#include "app/shell/ProcessMemory.hpp"
#include "app/stage/ArtRuntime.hpp"

#include <QApplication>

namespace tavolune::bench {

inline void ensureApp() {
  if (QCoreApplication::instance()) return;
  configureProcessMemory();
  // Widget cases run without a display too; the web and desktop cases want Xvfb.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  ArtRuntime::registerScheme();
  static int argc = 1;
  static char name[] = "tavolune_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
  ArtRuntime::prepareRules();
}

}  // namespace tavolune::bench
