#pragma once
// The program's start-up, reopen and quit order. Launching migrates the
// tile size, sets the icon, prepares the live works' rules and loads the
// library; once it is loaded either the preview windows open or the desktop
// starts, the update check is made ready and stale wallets sync (or, on a
// first run, the welcome window opens). Nothing opens before the library is
// loaded. GUI thread only; nothing here blocks but the flush at quit.

#include "app/shell/LaunchSwitches.hpp"

#include <QObject>

#include <functional>

namespace tavolune {

class AppModel;
class QuitSignals;
class TrayHostWatch;
class WindowManager;

class AppDelegate final : public QObject {
  Q_OBJECT

 public:
  // What other subsystems do at launch and quit. An empty hook is skipped.
  struct Hooks {
    std::function<void()> prepareRules;
    // The desktop engine's start: timers, observers, every display drawn.
    std::function<void()> startDesktop;
    // Live stages stopped, live windows and wall labels ordered out.
    std::function<void()> shutdownDesktop;
    // The preview's list of displays, refreshed without drawing them.
    std::function<void()> refreshScreens;
    std::function<void()> showScreenSaver;
    // Creates the updater, so the update check is ready.
    std::function<void()> touchUpdater;
  };

  // The model, windows and tray watch (which may be null: no tray) outlive
  // the delegate.
  AppDelegate(AppModel& model, WindowManager& windows, const TrayHostWatch* tray, LaunchSwitches switches,
              Hooks hooks, QObject* parent = nullptr);

  // The launch sequence; returns at once, the rest runs once the library is
  // loaded and ends in launched().
  void applicationDidFinishLaunching();
  // A second launch: the library window, and where no tray shows the menu,
  // the menu as a window, so its controls and Quit stay reachable.
  void applicationShouldHandleReopen();
  // Quitting: the desktop shut down and the pending save written. Runs
  // when the application is about to quit, once.
  void applicationWillTerminate();
  // SIGTERM, SIGINT and SIGHUP quit the application as Quit does.
  void quitOn(QuitSignals& quitSignals);

  // The settings tab as the window manager names it.
  static QString tabName(SettingsTab tab);

 signals:
  // The library is loaded and the launch's last step has run.
  void launched();

 private:
  void afterLoad();

  AppModel& model_;
  WindowManager& windows_;
  const TrayHostWatch* tray_;
  const LaunchSwitches switches_;
  const Hooks hooks_;
  bool terminated_ = false;
};

}  // namespace tavolune
