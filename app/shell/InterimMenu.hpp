#pragma once
// What the tray's popover and the "menu" window hold until the menu's own
// view is built: the library's state, Open Library, Settings… and Quit.
// Open Library and Settings… wait for the library to be loaded (and for
// their view to exist); Quit always works. GUI thread only.

#include <QWidget>

class QLabel;
class QPushButton;

namespace tavolune {

class AppModel;
class WindowManager;

class InterimMenu final : public QWidget {
  Q_OBJECT

 public:
  // The model and windows outlive the view.
  InterimMenu(AppModel& model, WindowManager& windows, QWidget* parent = nullptr);

  QPushButton* openLibraryButton() const { return openLibrary_; }
  QPushButton* settingsButton() const { return settings_; }
  QPushButton* quitButton() const { return quit_; }

 private:
  void update();

  AppModel& model_;
  WindowManager& windows_;
  QLabel* status_;
  QPushButton* openLibrary_;
  QPushButton* settings_;
  QPushButton* quit_;
};

}  // namespace tavolune
