#pragma once
// The wall-label panel: a click-through window just above the desktop's
// icons, in the bottom-left corner of a display's free area, that shows the
// label of the work hanging there. It fades in when a work changes and out
// later; without a compositor fades become showing and hiding. GUI thread
// only.

#include "app/desktop/CartelView.hpp"
#include "app/platform/Compositor.hpp"
#include "app/platform/DesktopWindows.hpp"
#include "app/platform/DisplaySource.hpp"

#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace tavolune {

// How long the panel's fades take.
struct CartelTimings {
  int fadeInMs = 350;
  int fadeOutMs = 600;
};

class CartelPanel final : public QWidget {
  Q_OBJECT
 public:
  using Timings = CartelTimings;
  // 14 points in from the left and bottom edges of the free area.
  static constexpr int inset = 14;

  CartelPanel(DesktopWindows& windows, const Compositor& compositor, Timings timings = {},
              QWidget* parent = nullptr);

  using QWidget::show;
  // Shows the work's label (compact) on the display with a fade-in and
  // cancels a pending fade-out. A label that changes while shown does not
  // flash.
  void show(const Artwork& artwork, const Display& display, CartelStyle style);
  // Fades out after `seconds` unless a later show or schedule comes first.
  // A delay that is not a positive finite number fades out at once.
  void scheduleFadeOut(double seconds);
  // Fades out now and leaves the screen at the end, unless a show came
  // in between. Leaves a pending fade-out alone.
  void fadeOut();

  bool fadeOutPending() const { return fadeTimer_.isActive(); }
  const CartelView& view() const { return *view_; }

 signals:
  void fadedIn();
  void orderedOut();

 private:
  void orderOutIfClear();

  DesktopWindows& windows_;
  const Compositor& compositor_;
  Timings timings_;
  CartelView* view_;
  QTimer fadeTimer_;
  QPropertyAnimation fadeIn_;
  QPropertyAnimation fadeOut_;
  bool prepared_ = false;
};

}  // namespace tavolune
