// Tavolune's entry: the platform services built once, one instance per data
// folder, then the shell's launch sequence; quitting (Quit, or SIGTERM,
// SIGINT, SIGHUP from the session) shuts the desktop down and writes the
// pending save.

#include "app/BuildInfo.hpp"
#include "app/components/AddWalletField.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/desktop/ModelFormats.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Updater.hpp"
#include "app/model/WindowManager.hpp"
#include "app/onboarding/OnboardingView.hpp"
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
#include "core/model/LibraryListing.hpp"
#include "core/persistence/TavolunePaths.hpp"

#include <QApplication>
#include <QDir>
#include <QThreadPool>

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
  ModelFormats formats(model);
  // Destroyed before the model, and its pool work finished before the model goes.
  auto desktop = std::make_unique<DesktopController>(
      model,
      DesktopController::Services{*services.displays, *services.session, *services.power, *services.coverage,
                                  *services.wallpaper, *services.desktopWindows, *services.compositor,
                                  *services.workspace, formats},
      TavolunePaths::data() / "Wallpapers");
  std::unique_ptr<Updater> updater;

  WindowManager windows;
  const auto menuContent = [&] { return static_cast<QWidget*>(new InterimMenu(model, windows)); };
  windows.registerContent(QStringLiteral("menu"), menuContent);

  LoginItem login(*services.autostart, *services.log);
  LibraryWindow::registerWith(
      windows,
      {.model = model,
       .show = [&](const Artwork& artwork) { desktop->show(artwork); },
       .openSettings = {},
       .listing = std::make_shared<LibraryListing>()},
      {.grid =
           [&](LibraryWindow& window) {
             return static_cast<QWidget*>(new LibraryGrid(
                 window, {.desktop = {.show = [&](const Artwork& artwork) { desktop->show(artwork); },
                                      .isPreparing = [&](const std::string& id) { return desktop->isPreparing(id); },
                                      .watchPreparing =
                                          [&](QObject* context, std::function<void()> changed) {
                                            QObject::connect(desktop.get(), &DesktopController::preparingChanged,
                                                             context, std::move(changed));
                                          }}}));
           },
       .addWalletField = [&] {
        return static_cast<QWidget*>(new AddWalletField(AddWalletField::adderFor(model)));
      }});
  WelcomeDesktop welcomeDesktop{
      .refreshScreens = [&](bool render) { desktop->refreshScreens(render); },
      .targetKeys =
          [&](const std::optional<std::string>& key) {
            std::vector<std::string> keys;
            for (const auto& screen : desktop->screens()) {
              if (!key || screen.id.toStdString() == *key) keys.push_back(screen.id.toStdString());
            }
            return keys;
          },
      .advance =
          [&](const std::string& key, bool forward) {
            const auto display = std::optional<QString>(QString::fromStdString(key));
            forward ? desktop->next(display) : desktop->previous(display);
          }};
  OnboardingView::registerWindow(windows, model, welcomeDesktop, login,
                                 {model.images(), *QThreadPool::globalInstance(),
                                  [&model](const Artwork& artwork, const QImage& image) { model.noteRatio(artwork, image); }});

  MenuBarExtra tray(*services.trayHost, menuContent);
  QObject::connect(desktop.get(), &DesktopController::livePlayingChanged, &tray, &MenuBarExtra::setLivePlaying);

  AppDelegate::Hooks hooks;
  hooks.prepareRules = [] { ArtRuntime::prepareRules(); };
  hooks.startDesktop = [&] { desktop->start(); };
  hooks.shutdownDesktop = [&] { desktop->shutdown(); };
  hooks.refreshScreens = [&] { desktop->refreshScreens(true); };
  // The screen saver is not built yet: the preview shows none.
  hooks.showScreenSaver = {};
  hooks.touchUpdater = [&] {
    if (!updater) updater = std::make_unique<Updater>(*services.updateFeed);
  };
  AppDelegate delegate(model, windows, services.trayHost.get(), switches, std::move(hooks));
  delegate.quitOn(quitSignals);
  QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                   &AppDelegate::applicationShouldHandleReopen);

  delegate.applicationDidFinishLaunching();
  const int code = QApplication::exec();
  desktop.reset();
  QThreadPool::globalInstance()->waitForDone();
  return code;
}
