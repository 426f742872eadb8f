#include "app/menubar/NextChangeBar.hpp"

#include "app/components/PlainText.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Diagnostics.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tavolune {

NextChangeBar::NextChangeBar(AppModel& model, DesktopController& desktop, std::function<Date()> now, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop), now_(std::move(now)) {
  step_.setInterval(stepMs);
  step_.setTimerType(Qt::CoarseTimer);
  connect(&step_, &QTimer::timeout, this, &NextChangeBar::refresh);
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
  slide_.start(std::max<qint64>(0, qint64(std::ceil(share * slideMs)) - slideClock_.elapsed()));
}

void NextChangeBar::slideTick() {
  ++slideFrame_;
  const double from = endPixels(slideFrom_);
  const double to = endPixels(target_);
  if (slideFrame_ >= slideFrames_) {
    drawn_ = target_;
  } else {
    const double pixel = std::round(from) + (to > from ? 1 : -1) * slideFrame_;
    drawn_ = slideFrom_ + (target_ - slideFrom_) * std::clamp((pixel - from) / (to - from), 0.0, 1.0);
  }
  update();
  if (slideFrame_ < slideFrames_) scheduleFrame();
}

double NextChangeBar::fraction(Date lastChange, double interval, Date now) {
  const double elapsed = std::chrono::duration<double>(now - lastChange).count();
  const double share = elapsed / interval;
  if (std::isnan(share) || share < 0) return 0;
  return std::min(share, 1.0);
}

void NextChangeBar::refresh() {
  const double interval = model_.state().settings.rotationInterval;
  std::optional<Date> last;
  if (const auto key = desktop_.mainKey()) last = desktop_.config(*key).lastChange;
  const bool show = last && !desktop_.userPaused() && interval > 0;
  if (!show) {
    if (showing_) {
      showing_ = false;
      setToolTip({});
      update();
    }
    return;
  }
  const Date now = now_();
  const double next = fraction(*last, interval, now);
  const bool appearing = !showing_;
  showing_ = true;
  // An interval too long for a date prints no time.
  const double seconds = std::min(interval, 1e15);
  const Date due = *last + std::chrono::seconds(static_cast<long long>(seconds));
  setToolTip(plaintext::toolTip(QStringLiteral("Next artwork ") +
                                Diagnostics::relativeTime(due, now, {}, text::RelativeStyle::named)));
  if (next == target_ && !appearing) return;
  target_ = next;
  slide_.stop();
  if (appearing || !isVisible()) {
    drawn_ = next;
    update();
    return;
  }
  // One frame per whole device pixel the drawn end moves; none when it stays.
  slideFrom_ = drawn_;
  slideFrame_ = 0;
  slideFrames_ = int(std::abs(std::round(endPixels(next)) - std::round(endPixels(drawn_))));
  if (slideFrames_ == 0) {
    drawn_ = next;  // the same pixels: nothing to draw
    return;
  }
  slideClock_.start();
  scheduleFrame();
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
  p.fillPath(done, QColor(255, 255, 255, int(255 * 0.55)));
}

void NextChangeBar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
  step_.start();
}

void NextChangeBar::hideEvent(QHideEvent* event) {
  step_.stop();
  slide_.stop();
  drawn_ = target_;
  QWidget::hideEvent(event);
}

}  // namespace tavolune
