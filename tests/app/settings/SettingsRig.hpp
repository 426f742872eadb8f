#pragma once
// The settings window over a desktop rig: a loaded model, the controller on
// fake displays (not started, so library-changed calls are only counted),
// a login item on a fake autostart entry, and the model's probes held by
// the test.

#include "app/model/LoginItem.hpp"
#include "app/settings/SettingsServices.hpp"
#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"
#include "tests/support/fakes/FakeProbeService.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QSignalSpy>

namespace tavolune::testsupport {

struct SettingsRig : DesktopRig {
  FakeAutostartService autostart;
  std::unique_ptr<LoginItem> login;
  std::unique_ptr<DesktopChanges> libraryChanges;
  int screenSavers = 0;

  SettingsRig() {
    make();
    login = std::make_unique<LoginItem>(autostart, log);
    QSignalSpy status(login.get(), &LoginItem::statusChanged);
    EXPECT_TRUE(status.wait(5000));
    libraryChanges = std::make_unique<DesktopChanges>(*model);
  }

  SettingsServices services() {
    return {.model = *model,
            .desktop = *controller,
            .login = *login,
            .build = {QStringLiteral("1.2.0"), QStringLiteral("7"), QStringLiteral("owner/repo")},
            .updater = {},
            .report = [] { return QStringLiteral("the report"); },
            .showScreenSaver = [this] { ++screenSavers; }};
  }

  // Displays connected, as the controller sees them after a refresh.
  // New displays get a configuration, which is saved before this returns.
  void connectDisplays(std::vector<Display> list) {
    QSignalSpy changed(model.get(), &AppModel::libraryChanged);
    QSignalSpy saved(model.get(), &AppModel::saved);
    displays.set(std::move(list));
    controller->refreshScreens(false);
    deliverChanges(*model);
    if (!changed.isEmpty()) {
      EXPECT_TRUE(saved.wait(5000));
    }
  }
};

}  // namespace tavolune::testsupport
