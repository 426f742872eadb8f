#pragma once
// The application's commands: "Settings…" (Ctrl+,), which opens the settings
// window, or brings it to the front, on its General tab. There is no menu
// bar to hold it, so one application-wide event filter matches the key in
// whichever of the program's windows has it (library, settings, welcome,
// popover), before any widget sees it. GUI thread only.

#include <QAction>
#include <QObject>

namespace tavolune {

class WindowManager;

class AppCommands final : public QObject {
  Q_OBJECT

 public:
  // The windows outlive this.
  explicit AppCommands(WindowManager& windows, QObject* parent = nullptr);
  ~AppCommands() override;

  QAction& settings() { return settings_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction settings_;
};

}  // namespace tavolune
