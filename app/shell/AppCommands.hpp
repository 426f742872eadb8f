#pragma once
// The application's commands: "Settings…" (Ctrl+,), which opens the settings
// window, or brings it to the front, on its General tab, and "Quit Tavolune"
// (Ctrl+Q). There is no menu bar to hold them, so one application-wide event
// filter matches the keys in whichever of the program's windows has them
// (library, settings, welcome, popover), before any widget sees them. GUI
// thread only.

#include <QAction>
#include <QObject>

#include <functional>

namespace tavolune {

class WindowManager;

class AppCommands final : public QObject {
  Q_OBJECT

 public:
  // The windows outlive this; quit ends the application.
  AppCommands(WindowManager& windows, std::function<void()> quit, QObject* parent = nullptr);
  ~AppCommands() override;

  QAction& settings() { return settings_; }
  QAction& quit() { return quit_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction settings_;
  QAction quit_;
};

}  // namespace tavolune
