#include "app/menubar/NextChangeBar.hpp"

#include "app/components/PlainText.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Diagnostics.hpp"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tavolune {

NextChangeBar::NextChangeBar(AppModel& model, DesktopController& desktop, std::function<Date()> now, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop), now_(std::move(now)) {
  // The step timer is set for the first frame a step draws, so it is as
  // precise as the frames.
  step_.setSingleShot(true);
  step_.setTimerType(Qt::PreciseTimer);
  connect(&step_, &QTimer::timeout, this, &NextChangeBar::stepDue);
  slide_.setTimerType(Qt::PreciseTimer);
  slide_.setSingleShot(true);
  connect(&slide_, &QTimer::timeout, this, &NextChangeBar::slideTick);
}

double NextChangeBar::endPixels(double fraction) const {
  return fraction * std::max(0, width() - 2 * insetX) * devicePixelRatioF();
}

void NextChangeBar::scheduleFrame() {
  // The drawn end moves to pixel k when the sliding end passes k - 0.5
  // on the way up (k + 0.5 on the way down).
  const double from = endPixels(slideFrom_);
  const double to = endPixels(target_);
  const double dir = to > from ? 1 : -1;
  const double pixel = std::round(from) + dir * (slideFrame_ + 1);
  const double share = std::clamp((pixel - dir * 0.5 - from) / (to - from), 0.0, 1.0);
  slide_.start(std::max<qint64>(0, slideStart_ + qint64(std::ceil(share * slideMs)) - steps_.elapsed()));
}

bool NextChangeBar::drawsSquareEnd() const { return devicePixelRatioF() * barHeight / 2 <= 1; }

QRect NextChangeBar::frameRect(double fromPixel, double toPixel) const {
  const qreal dpr = devicePixelRatioF();
  // A rounded end also redraws its cap on both sides, and a pixel of slack.
  const double cap = drawsSquareEnd() ? 0 : std::ceil(dpr * barHeight / 2) + 1;
  // While the bar is shorter than its height, its start is still forming.
  const double start = std::min(fromPixel, toPixel) < dpr * barHeight ? 0 : std::min(fromPixel, toPixel) - cap;
  const double left = insetX + start / dpr;
  const double right = insetX + (std::max(fromPixel, toPixel) + cap) / dpr;
  const int top = height() - insetBottom - barHeight;
  const int x = int(std::floor(left));
  return QRect(x, top, int(std::ceil(right)) - x, barHeight);
}

void NextChangeBar::slideTick() {
  ++slideFrame_;
  const double from = endPixels(slideFrom_);
  const double to = endPixels(target_);
  const double drawnBefore = std::round(endPixels(drawn_));
  if (slideFrame_ >= slideFrames_) {
    drawn_ = target_;
  } else {
    const double pixel = std::round(from) + (to > from ? 1 : -1) * slideFrame_;
    drawn_ = slideFrom_ + (target_ - slideFrom_) * std::clamp((pixel - from) / (to - from), 0.0, 1.0);
  }
  update(frameRect(drawnBefore, std::round(endPixels(drawn_))));
  if (slideFrame_ < slideFrames_) {
    scheduleFrame();
  } else {
    planStep();
  }
}

double NextChangeBar::fraction(Date lastChange, double interval, Date now) {
  const double elapsed = std::chrono::duration<double>(now - lastChange).count();
  const double share = elapsed / interval;
  if (std::isnan(share) || share < 0) return 0;
  return std::min(share, 1.0);
}

std::optional<NextChangeBar::Schedule> NextChangeBar::schedule() const {
  const double interval = model_.state().settings.rotationInterval;
  std::optional<Date> last;
  if (const auto key = desktop_.mainKey()) last = desktop_.config(*key).lastChange;
  if (!last || desktop_.userPaused() || !(interval > 0)) return std::nullopt;
  return Schedule{*last, interval};
}

void NextChangeBar::setToolTipFor(Date now) {
  const auto s = schedule();
  if (!s) return;
  // An interval too long for a date prints no time.
  const double seconds = std::min(s->interval, 1e15);
  const Date due = s->lastChange + std::chrono::seconds(static_cast<long long>(seconds));
  setToolTip(plaintext::toolTip(QStringLiteral("Next artwork ") +
                                Diagnostics::relativeTime(due, now, {}, text::RelativeStyle::named)));
}

void NextChangeBar::refresh() {
  const auto s = schedule();
  if (!s) {
    step_.stop();
    slide_.stop();
    if (showing_) {
      showing_ = false;
      setToolTip({});
      update();
    }
    return;
  }
  const Date now = now_();
  const double next = fraction(s->lastChange, s->interval, now);
  const bool appearing = !showing_;
  showing_ = true;
  setToolTipFor(now);
  if (next == target_ && !appearing) {
    if (!slide_.isActive()) planStep();  // the interval may have changed
    return;
  }
  if (appearing || !isVisible()) {
    slide_.stop();
    target_ = drawn_ = next;
    update();
    planStep();
    return;
  }
  slideTo(next, steps_.isValid() ? steps_.elapsed() : 0);
}

void NextChangeBar::slideTo(double next, qint64 startMs) {
  // One frame per whole device pixel the drawn end moves; none when it stays.
  target_ = next;
  slide_.stop();
  step_.stop();
  slideFrom_ = drawn_;
  slideFrame_ = 0;
  slideStart_ = startMs;
  slideFrames_ = int(std::abs(std::round(endPixels(next)) - std::round(endPixels(drawn_))));
  if (slideFrames_ == 0) {
    drawn_ = next;  // the same pixels: nothing to draw
    planStep();
    return;
  }
  scheduleFrame();
}

void NextChangeBar::planStep() {
  step_.stop();
  if (!showing_ || !isVisible() || !steps_.isValid()) return;
  const auto s = schedule();
  if (!s) return;
  // Steps that leave the drawn end on its pixel draw nothing: the timer
  // skips them, up to an hour ahead, and wakes for the first frame of the
  // first step that moves it.
  constexpr int horizon = 3600'000 / stepMs;
  const qint64 elapsed = steps_.elapsed();
  const qint64 first = elapsed / stepMs + 1;
  const Date now = now_();
  const double from = endPixels(drawn_);
  for (qint64 k = first; k < first + horizon; ++k) {
    const qint64 at = k * stepMs;
    const double to = endPixels(fraction(s->lastChange, s->interval, now + std::chrono::round<std::chrono::seconds>(std::chrono::milliseconds(at - elapsed))));
    if (std::round(to) == std::round(from)) continue;
    const double dir = to > from ? 1 : -1;
    const double share = std::clamp((std::round(from) + dir * 0.5 - from) / (to - from), 0.0, 1.0);
    nextStep_ = k;
    step_.start(std::max<qint64>(0, at + qint64(std::ceil(share * slideMs)) - elapsed));
    return;
  }
  // Nothing moves within the hour: look again then.
  nextStep_ = first + horizon;
  step_.start(std::max<qint64>(0, (nextStep_ - 1) * stepMs - elapsed));
}

void NextChangeBar::stepDue() {
  const auto s = schedule();
  if (!s) {
    refresh();
    return;
  }
  const qint64 at = nextStep_ * stepMs;
  const qint64 elapsed = steps_.elapsed();
  if (at > elapsed) {  // a look ahead past an hour of still steps
    planStep();
    return;
  }
  // The step's slide began at its time; this is its first frame.
  slideTo(fraction(s->lastChange, s->interval, now_() - std::chrono::round<std::chrono::seconds>(std::chrono::milliseconds(elapsed - at))), at);
}

int NextChangeBar::nextWakeMs() const {
  if (slide_.isActive()) return slide_.remainingTime();
  return step_.isActive() ? step_.remainingTime() : -1;
}

bool NextChangeBar::event(QEvent* event) {
  // The tooltip reads the time left when it is asked, not at every step.
  if (event->type() == QEvent::ToolTip && showing_) setToolTipFor(now_());
  return QWidget::event(event);
}

void NextChangeBar::paintEvent(QPaintEvent*) {
  if (!showing_) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF track(insetX, height() - insetBottom - barHeight, width() - 2 * insetX, barHeight);
  if (track.width() <= 0) return;
  QPainterPath whole;
  whole.addRoundedRect(track, 1, 1);
  p.fillPath(whole, QColor(255, 255, 255, int(255 * 0.12)));
  // The end on a whole device pixel, so a frame is drawn only when it moves one.
  const qreal dpr = devicePixelRatioF();
  const double doneWidth = std::round(endPixels(drawn_)) / dpr;
  QPainterPath done;
  done.addRoundedRect(QRectF(track.left(), track.top(), doneWidth, track.height()), 1, 1);
  if (drawsSquareEnd() && doneWidth > 0) {
    // A cap this small is one column, the same drawn square; so a frame
    // changes only the columns the end crosses.
    QPainterPath half;
    half.addRect(QRectF(track.left() + doneWidth / 2, track.top(), doneWidth / 2, track.height()));
    done = done.united(half);
  }
  p.fillPath(done, QColor(255, 255, 255, int(255 * 0.55)));
}

void NextChangeBar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  steps_.start();
  refresh();
}

void NextChangeBar::hideEvent(QHideEvent* event) {
  step_.stop();
  slide_.stop();
  drawn_ = target_;
  QWidget::hideEvent(event);
}

}  // namespace tavolune
