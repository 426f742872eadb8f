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

 private:
  QMediaPlayer* player_;
};

}  // namespace tavolune
