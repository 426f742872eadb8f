#pragma once
// A loaded app model on a loopback server, a window state of the test's
// own, QSettings in a temporary folder, and counters of what the window
// asks of the rest of the application; on request, probes that wait for the
// test. GUI thread only.

#include "app/library/LibraryWindow.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/fakes/FakeProbeService.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace tavolune::testsupport {

class LibraryRig : public ModelHarness {
 protected:
  enum class Probes { real, fake };

  explicit LibraryRig(Probes probes = Probes::real) {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    AppModel::Options o = options();
    if (probes == Probes::fake) o.probes = FakeProbeService::into(probe);
    loadedModel(std::move(o));
    desktopChanges = std::make_unique<DesktopChanges>(*model);
  }

  std::unique_ptr<LibraryWindow> openWindow(LibraryWindow::Hosted hosted = {}) {
    LibraryWindow::Services services{
        .model = *model,
        .show = [this](const Artwork& a) { shown.push_back(a.id); },
        .openSettings = [this] { ++settingsOpened; },
    };
    auto window = std::make_unique<LibraryWindow>(services, std::move(hosted), state);
    window->resize(1180, 760);
    window->show();
    return window;
  }

  void change(std::function<void(LibraryState&)> patch) { seedLibrary(*model, std::move(patch)); }

  QTemporaryDir settingsDir;
  LibraryWindowState state;
  std::vector<std::string> shown;
  int settingsOpened = 0;
  // The model's reports that sent the desktop looking again.
  int libraryChangedCalls() const { return (*desktopChanges)(); }
  std::unique_ptr<DesktopChanges> desktopChanges;
  FakeProbeService* probe = nullptr;  // the model's, once it asks for them
};

}  // namespace tavolune::testsupport
