#pragma once
// Shows one video player's picture, fitted by aspect. GUI thread only.

#include <QElapsedTimer>
#include <QTimer>
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
  // Whether the window that shows the picture has its graphics yet. Until
  // then the player must not be given its media: the graphics replace the
  // player's output element, and one replaced while the media prerolls
  // leaves the player stalled on a black picture or failing.
  bool pictureReady() const;
  // Whether that window can get graphics at all. Where the platform gives
  // it no OpenGL it draws in software from the start, so nothing replaces
  // the element and the player may have its media at once. Asked once.
  static bool graphicsCanCome();
  // A window that has no graphics this long after it was shown gets none
  // (graphics that failed), and nothing will replace the element.
  static constexpr int pictureWaitMs = 3000;

 signals:
  // Once the picture is ready, or no graphics came in time, while shown;
  // never where no graphics can come.
  void pictureReadied();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QMediaPlayer* player_;
  // The graphics come with the picture window's first exposure, which no
  // signal tells: asked each frame while waiting.
  QTimer readyCheck_;
  QElapsedTimer shown_;
  bool readied_ = false;
};

}  // namespace tavolune
