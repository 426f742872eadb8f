// ArtStageView: the video path.
#include "app/stage/ArtStageView.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/PlayerView.hpp"
#include "core/media/VideoSignature.hpp"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QVideoFrame>
#include <QVideoSink>

namespace tavolune {

using Kind = ArtStageView::Status::Kind;

void ArtStageView::loadVideo(const Artwork& artwork) {
  if (!artwork.animationURI) {
    fail(QStringLiteral("no video"));
    return;
  }
  const std::string uri = *artwork.animationURI;
  fetchThen(uri, [this, uri](MediaContent) {
    // The player reads the cache's file; a data: URI is never stored there,
    // and the file by that name may be another key's.
    const QString file = QString::fromStdString(fetcher_.cache->fileURL(uri, "bin").string());
    if (!fetcher_.cache->contains(uri)) {
      fail(QStringLiteral("no video"));
      return;
    }
    // The player picks its elements by content: a playlist would have it
    // fetch whatever addresses it lists.
    if (!videosignature::isPlayableFile(file.toStdString())) {
      fail(qt::str(videosignature::notPlayable));
      return;
    }
    installVideo(file);
  });
}

void ArtStageView::installVideo(const QString& file) {
  const std::uint64_t generation = generation_;
  player_ = new QMediaPlayer(this);
  audio_ = new QAudioOutput(this);
  audio_->setMuted(true);
  player_->setAudioOutput(audio_);
  player_->setLoops(QMediaPlayer::Infinite);
  connect(player_, &QMediaPlayer::errorOccurred, this,
          [this, generation](QMediaPlayer::Error error, const QString& text) {
            if (!isCurrent(generation) || error == QMediaPlayer::NoError || status_.kind == Kind::failed) return;
            fail(text.isEmpty() ? QStringLiteral("no video") : text);
          });
  // Playing is reported once the player has opened the file, not before.
  connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this, generation](QMediaPlayer::MediaStatus media) {
    if (!isCurrent(generation) || status_.kind == Kind::failed) return;
    if (media == QMediaPlayer::InvalidMedia) fail(QStringLiteral("no video"));
    if (media != QMediaPlayer::LoadedMedia && media != QMediaPlayer::BufferedMedia) return;
    contentReady_ = true;
    // The watchdog runs until the first loaded step.
    if (status_.kind == Kind::loading && watchdog_.isActive()) loadedStep();
  });
  videoOnStage_ = false;
  if (paintsVideo_ && PlayerView::usesNativeWindow()) {
    paintVideoFrom(player_, generation);
    startVideo(file);
    return;
  }
  // The file waits for the picture, so the output is settled before the
  // player reads a frame; where no graphics can come it is settled already.
  playerView_ = new PlayerView(player_, this);
  connect(playerView_, &PlayerView::pictureReadied, this, [this, generation, file] {
    if (isCurrent(generation) && player_ && player_->source().isEmpty()) startVideo(file);
  });
  relayout();
  // Shown at once, though out of the still's way until the loaded step: its
  // picture gets ready only once on screen.
  if (status_.kind != Kind::paused) playerView_->show();
  if (!PlayerView::graphicsCanCome()) startVideo(file);
}

void ArtStageView::startVideo(const QString& file) {
  player_->setSource(QUrl::fromLocalFile(file));
  relayout();
  if (status_.kind == Kind::paused) return;
  videoVisible_ = true;
  player_->play();
}

void ArtStageView::paintVideoFrom(QMediaPlayer* player, std::uint64_t generation) {
  videoSink_ = new QVideoSink(this);
  player->setVideoSink(videoSink_);
  connect(videoSink_, &QVideoSink::videoFrameChanged, this, [this, generation](const QVideoFrame& frame) {
    if (!isCurrent(generation) || !videoVisible_) return;
    const QImage image = frame.toImage();
    if (image.isNull()) return;
    videoFrame_ = image;
    update(artRect_.toAlignedRect());
  });
}

void ArtStageView::tearDownVideo() {
  if (player_) {
    player_->disconnect(this);
    player_->stop();
    player_->deleteLater();
    audio_->deleteLater();
    if (playerView_) {
      playerView_->disconnect(this);
      playerView_->hide();
      playerView_->deleteLater();
    }
    if (videoSink_) {
      videoSink_->disconnect(this);
      videoSink_->deleteLater();
    }
    player_ = nullptr;
    audio_ = nullptr;
    playerView_ = nullptr;
    videoSink_ = nullptr;
  }
  videoFrame_ = {};
  videoVisible_ = false;
  videoOnStage_ = false;
}

}  // namespace tavolune
