#include "app/screensaver/SaverWindow.hpp"

#include "app/desktop/StageWindow.hpp"
#include "app/platform/DesktopWindows.hpp"
#include "app/stage/ArtStageView.hpp"

#include <QTimer>
#include <QVariantAnimation>

namespace tavolune {

SaverWindow::SaverWindow(const Display& display, const ContentFetcher& fetcher, DesktopWindows& windows)
    : frame_(display.geometry.size()), windows_(windows) {
  stage_ = new ArtStageView(fetcher);
  window_ = new StageWindow(display, stage_, true, windows);
  window_->setFocusPolicy(Qt::StrongFocus);
  window_->setWindowOpacity(0);
}

SaverWindow::~SaverWindow() {
  fetchStop_.request_stop();
  if (!window_) return;
  if (fade_) fade_->stop();
  stage_->stop();
  window_->hide();
  // The saver destroys its windows only from its own turns of the loop.
  delete window_.data();
}

bool SaverWindow::present() {
  if (!window_) return false;
  const bool held = window_->present();
  window_->setFocus(Qt::ActiveWindowFocusReason);
  return held;
}

void SaverWindow::setCursorHidden(bool hidden) {
  if (!window_) return;
  if (hidden) {
    window_->setCursor(Qt::BlankCursor);
  } else {
    window_->unsetCursor();
  }
}

void SaverWindow::releaseInput() {
  if (window_) windows_.release(*window_);
}

std::uint64_t SaverWindow::newRequest() { return ++token_; }

std::stop_token SaverWindow::newFetch() {
  fetchStop_.request_stop();
  fetchStop_ = std::stop_source();
  return fetchStop_.get_token();
}

double SaverWindow::opacity() const { return window_ ? window_->windowOpacity() : 0.0; }

void SaverWindow::fade(double to, std::chrono::milliseconds duration, QObject* context, std::function<void()> done) {
  if (!window_) return;
  if (fade_) fade_->stop();  // a stopped fade reports no end
  auto* animation = new QVariantAnimation(window_);
  fade_ = animation;
  animation->setStartValue(window_->windowOpacity());
  animation->setEndValue(to);
  animation->setDuration(int(duration.count()));
  QPointer<StageWindow> target = window_;
  QObject::connect(animation, &QVariantAnimation::valueChanged, animation, [target](const QVariant& value) {
    if (target) target->setWindowOpacity(value.toDouble());
  });
  if (done) {
    QObject::connect(animation, &QVariantAnimation::finished, context, [context, done = std::move(done)] {
      // Its own turn of the loop: done may delete the window the animation belongs to.
      QTimer::singleShot(0, context, done);
    });
  }
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace tavolune
