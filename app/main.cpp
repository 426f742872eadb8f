// Tavolune's entry: the platform services built once, one instance per data
// folder, then the shell's launch sequence; quitting (Quit, or SIGTERM,
// SIGINT, SIGHUP from the session) shuts the desktop down and writes the
// pending save.

#include "app/BuildInfo.hpp"
#include "app/components/AddWalletField.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/desktop/ModelFormats.hpp"
#include "app/inspector/ArtworkDetail.hpp"
#include "app/inspector/LargePreview.hpp"
#include "app/library/ExhibitionHeader.hpp"
#include "app/library/ExhibitionItems.hpp"
#include "app/library/ExhibitionsSection.hpp"
#include "app/library/FiltersMenu.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/SelectionBar.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/BuildInfo.hpp"
#include "app/model/Diagnostics.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/Updater.hpp"
#include "app/model/WindowManager.hpp"
#include "app/onboarding/OnboardingView.hpp"
#include "app/platform/PlatformServices.hpp"
#include "app/platform/SessionPlatform.hpp"
#include "app/render/ImagePipeline.hpp"
#include "app/screensaver/ScreenSaver.hpp"
#include "app/settings/SettingsView.hpp"
#include "app/shell/AppCommands.hpp"
#include "app/shell/AppDelegate.hpp"
#include "app/shell/CrashHandler.hpp"
#include "app/shell/LaunchSwitches.hpp"
#include "app/shell/MenuBarExtra.hpp"
#include "app/shell/ProcessMemory.hpp"
#include "app/shell/QuitSignals.hpp"
#include "app/shell/SingleInstance.hpp"
#include "app/style/ScrollBarStyle.hpp"
#include "app/style/Theme.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/style/Motion.hpp"
#include "core/model/LibraryListing.hpp"
#include "core/persistence/TavolunePaths.hpp"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace tavolune;

namespace {

// Ends last but for the application object, whose destructor waits for the
// pool: when work there is still under way (a stuck decode is stopped, but
// a job may not have returned yet), the process ends without waiting for
// it. Everything else is gone by then: the desktop shut down, the save
// written, the single-instance claim given up.
struct EndWithoutWaiting {
  int code = 0;
  EndWithoutWaiting() = default;
  EndWithoutWaiting(const EndWithoutWaiting&) = delete;
  EndWithoutWaiting& operator=(const EndWithoutWaiting&) = delete;
  ~EndWithoutWaiting() {
    if (QThreadPool::globalInstance()->activeThreadCount() == 0) return;
    std::fflush(nullptr);
    std::_Exit(code);
  }
};

BuildInfo thisBuild() {
  return {QString::fromUtf8(build_info::version), QString::fromUtf8(build_info::build),
          QString::fromUtf8(build_info::feedbackRepository)};
}

}  // namespace

int main(int argc, char* argv[]) {
  // Caught from the start and to the end of teardown, so that a logout at
  // any moment quits through the normal path and saves; reported once the
  // event loop runs.
  QuitSignals::catchSignals();
  // Before any variable is set: the programs we start get this one.
  captureGivenEnvironment();
  configureProcessMemory();
  const QString dataFolder = QString::fromStdString(TavolunePaths::data().string());
  CrashHandler::install(Diagnostics::crashesFolder(dataFolder).toStdString(),
                        Diagnostics::version(thisBuild()).toStdString());
  // The scheme must be known before the application object exists.
  ArtRuntime::registerScheme();
  // Read when the first player starts; set before any thread reads the
  // environment.
  ImagePipeline::chooseMediaBackend();

  // On Wayland, through XWayland where there is one; read when the
  // application object is made.
  if (const QString platform = qtPlatformFor(SessionEnvironment::ofProcess()); !platform.isEmpty()) {
    qputenv("QT_QPA_PLATFORM", platform.toLatin1());
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Tavolune"));
  QApplication::setApplicationName(QStringLiteral("Tavolune"));
  QApplication::setApplicationVersion(QString::fromUtf8(build_info::version));
  QApplication::setDesktopFileName(QStringLiteral("tavolune"));
  // One scroll bar look in every window, the grid's thin one.
  QApplication::setStyle(new ScrollBarStyle);
  // The program lives in the tray: closing its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  // Idle workers wait without a time-out: expiring them and starting new
  // ones for each minute's light work only wakes an idle machine.
  QThreadPool::globalInstance()->setExpiryTimeout(-1);

  const LaunchSwitches switches = LaunchSwitches::from(QApplication::arguments());

  EndWithoutWaiting end;
  QuitSignals quitSignals;
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

  // Reading the system's font configuration takes tens of milliseconds; done
  // meanwhile, it is ready when the first wall label lays out its text.
  QThreadPool::globalInstance()->start([] { QFontDatabase::families(); });

  PlatformServices services = PlatformServices::linuxDesktop(QApplication::applicationFilePath().toStdString(),
                                                             QDir(dataFolder).filePath(QStringLiteral("Wallpapers")));
  // Every page and folder the program opens starts without its own engine switches.
  DesktopUrlRoute::to(services.urls.get());
  const std::shared_ptr<void> routeBack(nullptr, [](void*) { DesktopUrlRoute::to(nullptr); });
  // Springs and slides land at once where the desktop turned animations off.
  MotionPreferences::shared().follow(*services.power);

  AppModel::Options modelOptions = AppModel::Options::standard();
  // A document may take hours or all memory to draw: never in this process.
  modelOptions.svg = services.svg;
  AppModel model(std::move(modelOptions));
  ModelFormats formats(model);
  // Destroyed before the model, and its pool work finished before the model goes.
  auto desktop = std::make_unique<DesktopController>(
      model,
      DesktopController::Services{*services.displays, *services.session, *services.power, *services.coverage,
                                  *services.wallpaper, *services.desktopWindows, *services.compositor,
                                  *services.workspace, formats, *services.idleClock},
      TavolunePaths::data() / "Wallpapers");
  std::unique_ptr<Updater> updater;

  WindowManager windows;
  windows.setBackground([](const QPalette& palette) { return Theme::wallColor(palette); });
  // Settings… (Ctrl+,) and Quit (Ctrl+Q) from whichever window has the keyboard.
  AppCommands commands(windows, [] { QCoreApplication::quit(); });
  // The settings window's Preview and the popover's row start the screen
  // saver, which is made further down.
  std::function<void()> showScreenSaver;
  const auto ensureUpdater = [&] {
    if (!updater) updater = std::make_unique<Updater>(*services.updateFeed);
    return updater.get();
  };
  const auto diagnostics = [&] {
    const auto fault = ArtRuntime::sealFault();
    return Diagnostics::report(thisBuild(), Diagnostics::describe(*services.machine, *services.displays), model.state(),
                               desktop->statusLine() + (fault ? QStringLiteral("; live works show their stills: ") + *fault
                                                              : QString()),
                               Diagnostics::recentCrashes(Diagnostics::crashesFolder(dataFolder),
                                                          QDateTime::currentDateTimeUtc()),
                               now());
  };
  // Images for the windows; ratios learnt from them go to the library.
  const auto imageServices = [&model] {
    return ImageServices{model.media().images(), *QThreadPool::globalInstance(),
                         [&model](const Artwork& a, const QImage& i) { model.formats().noteRatio(a, i); }};
  };
  const auto menuServices = [&] {
    return MenuBarContent::Services{
        .model = model,
        .desktop = *desktop,
        .windows = windows,
        .images = imageServices(),
        .build = thisBuild(),
        .updater = ensureUpdater,
        .sendFeedback = [&] { Diagnostics::sendFeedback(thisBuild(), diagnostics()); },
        .showScreenSaver = [&] { if (showScreenSaver) showScreenSaver(); },
        .quit = {},
        .statusLine = [&] { return desktop->statusLine(); }};
  };
  MenuBarContent::registerWith(windows, menuServices);
  const auto menuContent = [&] { return static_cast<QWidget*>(new MenuBarContent(menuServices())); };

  LoginItem login(*services.autostart, *services.log);
  // Visiting walks through an exhibition in the screen saver's slideshow.
  std::function<void(const Uuid&)> visitExhibition;
  const ExhibitionActions exhibitionActions = ExhibitionActions::make(
      model, [&](const Uuid& id) { desktop->play(id); },
      [&](const Uuid& id) {
        if (visitExhibition) visitExhibition(id);
      });
  // The grid's exhibition drop, the selection bar's button and the menu's items.
  const auto exhibitionHooks = [&](LibraryWindowState& windowState) {
    return ExhibitionHooks{
        .drop = [&](const Uuid& exhibition, const QMimeData& data, const std::string& before) {
          return ExhibitionItems::dropOnTile(model, data, exhibition, before);
        },
        .selectionButton = [&](SelectionBar& bar) -> QWidget* {
          auto* button = new ExhibitionSelectionButton(model, windowState, bar.exhibition());
          QObject::connect(&bar, &SelectionBar::exhibitionChanged, button,
                           [button, &bar] { button->setExhibition(bar.exhibition()); });
          return button;
        },
        .menuItems = [&](QMenu& menu, const std::vector<std::string>& targets, const std::optional<Uuid>& current) {
          ExhibitionItems::addTo(menu, model, windowState, IdSet(targets.begin(), targets.end()), current);
        }};
  };
  const auto inspectorServices = [&] { return InspectorServices{model, *desktop, imageServices()}; };
  LibraryWindow::registerWith(
      windows,
      {.model = model,
       .show = [&](const Artwork& artwork) { desktop->show(artwork); },
       .openSettings = {}},
      {.grid =
           [&](LibraryWindow& window) {
             return static_cast<QWidget*>(new LibraryGrid(
                 window, {.desktop = {.show = [&](const Artwork& artwork) { desktop->show(artwork); },
                                      .isPreparing = [&](const std::string& id) { return desktop->isPreparing(id); },
                                      .watchPreparing =
                                          [&](QObject* context, std::function<void()> changed) {
                                            QObject::connect(desktop.get(), &DesktopController::preparingChanged,
                                                             context, std::move(changed));
                                          }},
                          .exhibitions = exhibitionHooks(window.windowState())}));
           },
       .filtersMenu = [](LibraryWindow& w) -> QWidget* { return new FiltersMenu(w); },
       .inspector = [&](LibraryWindow& window, const Artwork& artwork) -> QWidget* {
         return new ArtworkDetail(inspectorServices(), window.artworkActions(), artwork);
       },
       .exhibitionHeader = [&](LibraryWindow& w, const Uuid& id) -> QWidget* {
         return new ExhibitionHeader(w, exhibitionActions, id);
       },
       .largePreview = [&](LibraryWindow& window, const Artwork& artwork) -> QWidget* {
         return new LargePreview({model, inspectorServices().images, window.artworkActions().primary},
                                 window.windowState(), artwork);
       },
       .exhibitionsSection = [&](LibraryWindow& w) -> QWidget* { return new ExhibitionsSection(w, exhibitionActions); },
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
  OnboardingView::registerWindow(windows, model, welcomeDesktop, login, imageServices());

  SettingsView::registerWindow(
      windows, {.model = model,
                .desktop = *desktop,
                .login = login,
                .build = thisBuild(),
                .updater = ensureUpdater,
                .report = diagnostics,
                .showScreenSaver = [&] { if (showScreenSaver) showScreenSaver(); }});

  MenuBarExtra tray(*services.trayHost, menuContent);
  QObject::connect(desktop.get(), &DesktopController::livePlayingChanged, &tray, &MenuBarExtra::setLivePlaying);

  AppDelegate::Hooks hooks;
  hooks.prepareRules = [] { ArtRuntime::prepareRules(); };
  // Destroyed before the desktop, whose power policy it follows.
  auto saver = std::make_unique<ScreenSaver>(
      model, desktop->power(), ImageServices{model.media().images(), *QThreadPool::globalInstance(), {}},
      ScreenSaver::Services{*services.displays, *services.idleClock, *services.inhibitors, *services.activeWindow,
                            *services.desktopWindows});
  // Live works on the desktop pause while the saver covers it.
  QObject::connect(saver.get(), &ScreenSaver::showingChanged, desktop.get(),
                   [&](bool showing) { desktop->setScreenSaverShowing(showing); });
  showScreenSaver = [&] { saver->show(); };
  visitExhibition = [&](const Uuid& id) {
    saver->dismiss();
    saver->setSlideshow(id);
    saver->show();
  };
  hooks.startDesktop = [&] {
    desktop->start();
    saver->start();
  };
  hooks.shutdownDesktop = [&] { desktop->shutdown(); };
  hooks.refreshScreens = [&] { desktop->refreshScreens(false); };
  hooks.showScreenSaver = [&] { saver->show(); };
  hooks.touchUpdater = [&] { ensureUpdater(); };
  AppDelegate delegate(model, windows, services.trayHost.get(), switches, std::move(hooks));
  delegate.quitOn(quitSignals);
  QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                   &AppDelegate::applicationShouldHandleReopen);

  delegate.applicationDidFinishLaunching();
  end.code = QApplication::exec();
  saver.reset();
  desktop.reset();
  return end.code;
}
