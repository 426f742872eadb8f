#pragma once
// What the tray's popover and the "menu" window hold until the menu's own
// view is built: the library's state, Open Library and Quit. Open Library
// waits for the library to be loaded (and for a library view to exist);
// Quit always works. GUI thread only.

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
  QPushButton* quitButton() const { return quit_; }

 private:
  void update();

  AppModel& model_;
  WindowManager& windows_;
  QLabel* status_;
  QPushButton* openLibrary_;
  QPushButton* quit_;
};

}  // namespace tavolune
