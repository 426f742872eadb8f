#pragma once
// A loaded app model in a temporary folder and the fake platform services a
// desktop controller needs, for the desktop benchmarks. GUI thread only;
// building it waits for the model to load.

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "bench/app/BenchApplication.hpp"
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

#include <QEventLoop>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

namespace tavolune::bench {

struct DesktopBenchRig {
  QTemporaryDir dir;
  const std::filesystem::path root = dir.path().toStdString();
  std::unique_ptr<AppModel> model = [this] {
    ensureApp();
    AppModel::Options o;
    o.storeURL = root / "library.json";
    o.cacheDirectory = root / "Media";
    o.services.gateways = {};
    auto made = std::make_unique<AppModel>(o);
    QEventLoop loop;
    QObject::connect(made.get(), &AppModel::loadedChanged, &loop, &QEventLoop::quit);
    made->load();
    if (!made->isLoaded()) loop.exec();
    return made;
  }();
  testsupport::FakeDisplaySource displays;
  testsupport::FakeSessionWatch session;
  testsupport::FakePowerSources power;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeSystemLog log;
  testsupport::FakeWallpaperBackend wallpapers{log};
  testsupport::FakeDesktopWindows windows;
  testsupport::FakeCompositor compositor;
  testsupport::FakeWorkspaceWatch workspace;
  testsupport::FakeDesktopFormats formats;
  testsupport::FakeIdleClock idle;

  DesktopController::Services services() {
    return {displays, session, power, coverage, wallpapers, windows, compositor, workspace, formats, idle};
  }
};

}  // namespace tavolune::bench
