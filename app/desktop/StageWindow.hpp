#pragma once
// A borderless black window over a whole display holding one stage widget:
// at desktop level for live works (click-through, never focused), or at
// screen-saver level for the saver (takes the keyboard and pointer). GUI
// thread only.

#include "app/platform/DesktopWindows.hpp"
#include "app/platform/DisplaySource.hpp"

#include <QWidget>

namespace tavolune {

class StageWindow final : public QWidget {
  Q_OBJECT
 public:
  // Takes the stage as its child.
  StageWindow(const Display& display, QWidget* stage, bool interactive, DesktopWindows& windows,
              QWidget* parent = nullptr);
  ~StageWindow() override;

  QWidget* stage() const { return stage_; }
  bool interactive() const { return interactive_; }
  bool canBecomeKey() const { return interactive_; }
  bool canBecomeMain() const { return false; }

  // Covers the display (again, after it moved or changed size).
  void cover(const Display& display);
  // Shows the window at its level. False when the saver could not take the
  // keyboard and pointer.
  bool present();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* stage_;
  bool interactive_;
  DesktopWindows& windows_;
  bool prepared_ = false;
};

}  // namespace tavolune
