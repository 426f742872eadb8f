#include "app/stage/PlayerView.hpp"

#include <QMediaPlayer>

namespace tavolune {

PlayerView::PlayerView(QMediaPlayer* player, QWidget* parent) : QVideoWidget(parent), player_(player) {
  setAspectRatioMode(Qt::KeepAspectRatio);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  player->setVideoOutput(this);
}

}  // namespace tavolune
