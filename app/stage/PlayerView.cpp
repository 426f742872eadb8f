#include "app/stage/PlayerView.hpp"

#include <QCoreApplication>
#include <QMediaPlayer>
#include <QOpenGLContext>
#include <QVideoSink>

#include <algorithm>

namespace tavolune {

PlayerView::PlayerView(QMediaPlayer* player, QWidget* parent) : QVideoWidget(parent), player_(player) {
  setAspectRatioMode(Qt::KeepAspectRatio);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  player->setVideoOutput(this);
  readyCheck_.setInterval(16);
  connect(&readyCheck_, &QTimer::timeout, this, [this] {
    if (!pictureReady() && shown_.elapsed() < pictureWaitMs) return;
    readyCheck_.stop();
    readied_ = true;
    emit pictureReadied();
  });
}

bool PlayerView::pictureReady() const { return videoSink() && videoSink()->rhi(); }

bool PlayerView::graphicsCanCome() {
  static const bool can = [] {
    // Qt's video window then draws through a backing store, as it does
    // where the platform makes no OpenGL context.
    if (QCoreApplication::testAttribute(Qt::AA_ForceRasterWidgets)) return false;
    QOpenGLContext context;
    return context.create();
  }();
  return can;
}

void PlayerView::showEvent(QShowEvent* event) {
  QVideoWidget::showEvent(event);
  if (readied_ || readyCheck_.isActive() || !graphicsCanCome()) return;
  shown_.start();
  readyCheck_.start();
}

void PlayerView::hideEvent(QHideEvent* event) {
  QVideoWidget::hideEvent(event);
  readyCheck_.stop();
}

bool PlayerView::usesNativeWindow() {
  static const bool native = [] {
    QVideoWidget probe;
    if (probe.testAttribute(Qt::WA_NativeWindow)) return true;
    // A window container embeds a window of its own in the top level's.
    const auto children = probe.findChildren<QWidget*>();
    return std::any_of(children.begin(), children.end(), [](const QWidget* w) {
      return w->testAttribute(Qt::WA_NativeWindow) || w->inherits("QWindowContainer");
    });
  }();
  return native;
}

}  // namespace tavolune
