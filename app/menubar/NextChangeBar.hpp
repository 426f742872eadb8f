#pragma once
// A 2-pixel bar along the bottom of the popover's picture that fills toward
// the main display's next change: hidden while rotation is paused, before
// the display first changes, or with no interval. It steps every 20 s, and
// only while it is on screen; each step slides linearly over 0.6 s. Its end
// is drawn on whole device pixels, and the bar wakes only for the frames
// that move it: at the moments the sliding end reaches the next pixel (a
// step of an hour's interval is a pixel or two, one of a day's less than
// one, so most steps draw nothing and wake nobody). A frame repaints only
// the columns its end crosses. Its tooltip is worked out again when it is
// asked for. GUI thread only.

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
  bool isStepping() const { return step_.isActive() || slide_.isActive(); }
  // Milliseconds until the bar next wakes, -1 when it sleeps.
  int nextWakeMs() const;
  // Frames the slide under way draws, 0 at rest.
  int slideFrames() const { return slide_.isActive() ? slideFrames_ : 0; }
  // What a frame repaints when the drawn end moves between two device pixel
  // columns of the track. With the end drawn square (a cap of one device
  // pixel or less) that is only the columns crossed, so frames that follow
  // one another repaint nothing twice; X's shared-memory backing store would
  // otherwise wait for the server before each frame.
  QRect frameRect(double fromPixel, double toPixel) const;
  bool drawsSquareEnd() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool event(QEvent* event) override;

 private:
  AppModel& model_;
  DesktopController& desktop_;
  std::function<Date()> now_;
  // The next step that moves the drawn end: the step timer is set for its first frame.
  void planStep();
  void stepDue();
  void slideTick();
  void setToolTipFor(Date now);
  struct Schedule {
    Date lastChange;
    double interval;
  };
  std::optional<Schedule> schedule() const;
  void slideTo(double next, qint64 startMs);

  QTimer step_;
  QElapsedTimer steps_;  // since the bar came on screen: a step falls every stepMs of it
  qint64 nextStep_ = 1;  // the step the step timer is set for

  // The next frame of the slide: when its end reaches the next pixel.
  void scheduleFrame();
  // The bar's end, in device pixels from the track's start, at a fraction.
  double endPixels(double fraction) const;

  QTimer slide_;
  qint64 slideStart_ = 0;  // on steps_, when the slide under way began
  int slideFrame_ = 0;
  int slideFrames_ = 0;
  double slideFrom_ = 0;
  bool showing_ = false;
  double target_ = 0;
  double drawn_ = 0;
};

}  // namespace tavolune
