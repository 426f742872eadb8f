// Tavolune's entry: the platform services built once, one instance per data
// folder, then the shell's launch sequence; quitting (Quit, or SIGTERM,
// SIGINT, SIGHUP from the session) shuts the desktop down and writes the
// pending save.

#include "app/BuildInfo.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Updater.hpp"
#include "app/model/WindowManager.hpp"
#include "app/platform/PlatformServices.hpp"
#include "app/shell/AppDelegate.hpp"
#include "app/shell/BuildInfo.hpp"
#include "app/shell/CrashHandler.hpp"
#include "app/shell/Diagnostics.hpp"
#include "app/shell/InterimMenu.hpp"
#include "app/shell/LaunchSwitches.hpp"
#include "app/shell/MenuBarExtra.hpp"
#include "app/shell/QuitSignals.hpp"
#include "app/shell/SingleInstance.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "core/persistence/TavolunePaths.hpp"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <memory>

using namespace tavolune;

namespace {

BuildInfo thisBuild() {
  return {QString::fromUtf8(build_info::version), QString::fromUtf8(build_info::build),
          QString::fromUtf8(build_info::feedbackRepository)};
}

}  // namespace

int main(int argc, char* argv[]) {
  const QString dataFolder = QString::fromStdString(TavolunePaths::data().string());
  CrashHandler::install(Diagnostics::crashesFolder(dataFolder).toStdString(),
                        Diagnostics::version(thisBuild()).toStdString());
  // The scheme must be known before the application object exists.
  ArtRuntime::registerScheme();

  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Tavolune"));
  QApplication::setApplicationName(QStringLiteral("Tavolune"));
  QApplication::setApplicationVersion(QString::fromUtf8(build_info::version));
  QApplication::setDesktopFileName(QStringLiteral("tavolune"));
  // The program lives in the tray: closing its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  const LaunchSwitches switches = LaunchSwitches::from(QApplication::arguments());

  SingleInstance instance(dataFolder);
  switch (instance.claim()) {
    case SingleInstance::Role::primary:
      break;
    case SingleInstance::Role::secondary:
      if (switches.uiPreview) {
        // The preview would edit the same library as the running program.
        std::fprintf(stderr, "Tavolune already runs on this data folder; quit it or set TAVOLUNE_DATA_DIR "
                             "to another folder for the preview.\n");
        return 1;
      }
      return 0;  // the running one reopens
    case SingleInstance::Role::failed:
      std::fprintf(stderr, "Tavolune: could not check for another running copy; going on alone.\n");
      break;
  }

  QuitSignals quitSignals;
  PlatformServices services = PlatformServices::linuxDesktop(QApplication::applicationFilePath().toStdString(),
                                                             QDir(dataFolder).filePath(QStringLiteral("Wallpapers")));

  AppModel model(AppModel::Options::standard());
  DesktopController desktop(model, {*services.displays, *services.session, *services.power, *services.coverage},
                            TavolunePaths::data() / "Wallpapers");
  std::unique_ptr<Updater> updater;

  WindowManager windows;
  const auto menuContent = [&] { return static_cast<QWidget*>(new InterimMenu(model, windows)); };
  windows.registerContent(QStringLiteral("menu"), menuContent);

  MenuBarExtra tray(*services.trayHost, menuContent);
  QObject::connect(&desktop, &DesktopController::livePlayingChanged, &tray, &MenuBarExtra::setLivePlaying);

  AppDelegate::Hooks hooks;
  hooks.prepareRules = [] { ArtRuntime::prepareRules(); };
  // The desktop engine's start(), shutdown() and refreshScreens(), and the
  // screen saver's show(), are wired here once the controller and the
  // screen saver have them; until then launching leaves the displays as
  // they are and the preview shows no screen saver.
  hooks.startDesktop = {};
  hooks.shutdownDesktop = {};
  hooks.refreshScreens = {};
  hooks.showScreenSaver = {};
  hooks.touchUpdater = [&] {
    if (!updater) updater = std::make_unique<Updater>(*services.updateFeed);
  };
  AppDelegate delegate(model, windows, services.trayHost.get(), switches, std::move(hooks));
  delegate.quitOn(quitSignals);
  QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                   &AppDelegate::applicationShouldHandleReopen);

  delegate.applicationDidFinishLaunching();
  return QApplication::exec();
}
