#pragma once
// A 2-pixel bar along the bottom of the popover's picture that fills toward
// the main display's next change: hidden while rotation is paused, before
// the display first changes, or with no interval. It steps every 20 s, and
// only while it is on screen; each step slides linearly over 0.6 s. Its end
// is drawn on whole device pixels, and the slide draws a frame only at the
// moments that end reaches the next pixel (a step of an hour's interval is
// a pixel or two; one under a pixel often draws nothing), so an open
// popover stays nearly asleep. GUI thread only.

#include "core/base/Date.hpp"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace tavolune {

class AppModel;
class DesktopController;

class NextChangeBar final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int stepMs = 20'000;
  static constexpr int slideMs = 600;
  static constexpr int barHeight = 2;
  static constexpr int insetX = 14;
  static constexpr int insetBottom = 6;

  // The model and desktop outlive the bar.
  NextChangeBar(AppModel& model, DesktopController& desktop, std::function<Date()> now, QWidget* parent = nullptr);

  // The share of the interval gone since the last change, within 0...1
  // (a change dated in the future, or a share that is not a number, is 0).
  static double fraction(Date lastChange, double interval, Date now);

  // Reads the state again (the popover calls it on every change).
  void refresh();
  bool isShowing() const { return showing_; }
  double target() const { return target_; }
  bool isStepping() const { return step_.isActive(); }
  // Frames the slide under way draws, 0 at rest.
  int slideFrames() const { return slide_.isActive() ? slideFrames_ : 0; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  AppModel& model_;
  DesktopController& desktop_;
  std::function<Date()> now_;
  QTimer step_;
  void slideTick();

  // The next frame of the slide: when its end reaches the next pixel.
  void scheduleFrame();
  // The bar's end, in device pixels from the track's start, at a fraction.
  double endPixels(double fraction) const;

  QTimer slide_;
  QElapsedTimer slideClock_;
  int slideFrame_ = 0;
  int slideFrames_ = 0;
  double slideFrom_ = 0;
  bool showing_ = false;
  double target_ = 0;
  double drawn_ = 0;
};

}  // namespace tavolune
