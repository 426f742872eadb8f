#include "app/stage/PlayerView.hpp"

#include <QMediaPlayer>

#include <algorithm>

namespace tavolune {

PlayerView::PlayerView(QMediaPlayer* player, QWidget* parent) : QVideoWidget(parent), player_(player) {
  setAspectRatioMode(Qt::KeepAspectRatio);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  player->setVideoOutput(this);
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
