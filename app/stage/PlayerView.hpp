#pragma once
// Shows one video player's picture, fitted by aspect. GUI thread only.

#include <QVideoWidget>

class QMediaPlayer;

namespace tavolune {

class PlayerView final : public QVideoWidget {
  Q_OBJECT

 public:
  PlayerView(QMediaPlayer* player, QWidget* parent);
  QMediaPlayer* player() const { return player_; }
  // Whether this Qt's video widget shows its picture in a native child
  // window, which clipping parents cannot cut. Asked once.
  static bool usesNativeWindow();

 private:
  QMediaPlayer* player_;
};

}  // namespace tavolune
