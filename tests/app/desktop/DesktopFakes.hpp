#pragma once
// Every platform service the desktop controller reads, as fakes, and the
// controller's services record over them (or over real ones a test or
// benchmark puts in their place). GUI thread only.

#include "app/desktop/DesktopController.hpp"
#include "tests/support/fakes/FakeCompositor.hpp"
#include "tests/support/fakes/FakeDesktopFormats.hpp"
#include "tests/support/fakes/FakeDesktopWindows.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakeIdleClock.hpp"
#include "tests/support/fakes/FakePowerSources.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"
#include "tests/support/fakes/FakeWallpaperBackend.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"
#include "tests/support/fakes/FakeWorkspaceWatch.hpp"

namespace tavolune::testsupport {

struct DesktopFakes {
  FakeDisplaySource displays;
  FakeSessionWatch session;
  FakePowerSources power;
  FakeWindowCoverage coverage;
  FakeSystemLog log;
  FakeWallpaperBackend wallpapers{log};
  FakeDesktopWindows windows;
  FakeCompositor compositor;
  FakeWorkspaceWatch workspace;
  FakeDesktopFormats formats;
  FakeIdleClock idle;

  DesktopController::Services services() { return services(displays, wallpapers, formats); }
  DesktopController::Services services(DisplaySource& source, WallpaperBackend& backend, DesktopFormats& measuring) {
    return {source, session, power, coverage, backend, windows, compositor, workspace, measuring, idle};
  }
};

}  // namespace tavolune::testsupport
