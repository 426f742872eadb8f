#include "app/stage/ArtStageView.hpp"

#include "app/qt/Convert.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/GifView.hpp"
#include "app/stage/PlayerView.hpp"
#include "app/stage/TavoluneSchemeHandler.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/model/MediaResolver.hpp"

#include <QMediaPlayer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>

namespace tavolune {

using Kind = ArtStageView::Status::Kind;

ArtStageView::ArtStageView(ContentFetcher fetcher, QWidget* parent) : QWidget(parent), fetcher_(std::move(fetcher)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  watchdog_.setSingleShot(true);
  watchdog_.setInterval(watchdogMs);
  connect(&watchdog_, &QTimer::timeout, this, [this] {
    if (status_.kind == Kind::loading) fail(QStringLiteral("loading timed out"));
  });
}

ArtStageView::~ArtStageView() {
  fetchStop_.request_stop();
  jobs_.stop();
}

ArtPage* ArtStageView::page() const { return webView_ ? static_cast<ArtPage*>(webView_->page()) : nullptr; }

void ArtStageView::setStatus(Status status) {
  status_ = std::move(status);
  const Status reported = status_;
  emit statusChanged(reported);
  if (onStatusChange) onStatusChange(reported);
}

void ArtStageView::load(const Artwork& artwork) {
  stop();
  artwork_ = artwork;
  if (artwork.aspectRatio && *artwork.aspectRatio > 0 && !aspectLocked_) setAspect(*artwork.aspectRatio);
  const std::uint64_t generation = generation_;
  setStatus(Status::loading());
  if (!isCurrent(generation)) return;  // the owner moved on from inside the callback
  // Wanted in sight until the work plays, whenever the still comes.
  setStillVisible(true);
  if (artwork.isAnimatedImage()) {
    loadGIF(artwork);
  } else if (artwork.mediaKind == MediaKind::video) {
    loadVideo(artwork);
  } else {
    loadWeb(artwork);
  }
  if (isCurrent(generation) && status_.kind == Kind::loading) watchdog_.start();
}

void ArtStageView::fetchThen(const std::string& uri, std::function<void(MediaContent)> done) {
  // The content, or why there is none; neither when the fetch was stopped.
  struct Fetched {
    std::optional<MediaContent> content;
    std::optional<QString> failure;
  };
  jobs_.run(
      [fetcher = fetcher_, uri, token = fetchStop_.get_token()] {
        Fetched fetched;
        try {
          fetched.content = fetcher.fetch(uri, fetchTimeoutSeconds, token);
        } catch (const CancellationError&) {
        } catch (...) {
          fetched.failure = qt::str(TavoluneError::plain(std::current_exception()));
        }
        return fetched;
      },
      [this, generation = generation_, done = std::move(done)](Fetched fetched) {
        // Bytes may arrive while paused: they are installed but stay still.
        if (!isCurrent(generation)) return;
        if (status_.kind != Kind::loading && status_.kind != Kind::paused) return;
        if (fetched.content) {
          done(std::move(*fetched.content));
        } else if (fetched.failure) {
          fail(*fetched.failure);
        }
      });
}

void ArtStageView::loadGIF(const Artwork& artwork) {
  const auto& uri = artwork.imageURI ? artwork.imageURI : artwork.animationURI;
  if (!uri) {
    fail(QStringLiteral("no image"));
    return;
  }
  fetchThen(*uri, [this](MediaContent content) {
    auto view = GifView::make(QByteArray(content.data.data(), qsizetype(content.data.size())), this);
    if (!view) {
      fail(QStringLiteral("unreadable GIF"));
      return;
    }
    gifView_ = view.release();
    contentReady_ = true;
    relayout();
    if (status_.kind == Kind::paused) return;
    gifView_->show();
    gifView_->startAnimation();
    loadedStep();
  });
}

void ArtStageView::loadWeb(const Artwork& artwork) {
  auto url = MediaResolver::liveURL(artwork.animationURI);
  if (!url) {
    fail(QStringLiteral("no page to display"));
    return;
  }
  // Without the engine's network wall no page runs: the still stays.
  if (auto fault = ArtRuntime::sealFault()) {
    fail(*fault);
    return;
  }
  const std::uint64_t generation = generation_;
  webView_ = new QWebEngineView(this);
  webView_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* page = ArtRuntime::configuration(fetcher_, webView_);
  if (!pageBudget_ || pageBudgetWork_ != artwork.id) {
    pageBudget_ = std::make_shared<ByteBudget>(std::int64_t{mediaDownloadLimit});
    pageBudgetWork_ = artwork.id;
  }
  page->setDownloadBudget(pageBudget_);
  // Opaque: under Chromium's software compositor a transparent page draws
  // nothing at all once its body has a background of its own.
  page->setBackgroundColor(pageBackground());
  webView_->setPage(page);
  page->onWebGLRefused = [this, generation] {
    // Not from inside the page's own callback.
    QTimer::singleShot(0, this, [this, generation] {
      if (isCurrent(generation)) webGLRefused();
    });
  };
  page->onReport = [this, generation](const QString& text) {
    if (isCurrent(generation)) heardReport(text);
  };
  // A drawing is told at once: the stage asks for the page's report to see it.
  page->onDrew = [this, generation] {
    if (isCurrent(generation) && verdict_ == Verdict::judging) send(ArtRuntime::backdropScript());
  };
  connect(page, &QWebEnginePage::loadFinished, this, [this, generation](bool ok) {
    if (isCurrent(generation) && ok) pageFinished();
  });
  connect(page, &QWebEnginePage::loadingChanged, this, [this, generation](const QWebEngineLoadingInfo& info) {
    if (!isCurrent(generation) || info.status() != QWebEngineLoadingInfo::LoadFailedStatus) return;
    fail(info.errorString().isEmpty() ? QStringLiteral("the page did not load") : info.errorString());
  });
  connect(page, &QWebEnginePage::renderProcessTerminated, this, [this, generation] {
    if (isCurrent(generation)) fail(QStringLiteral("the artwork crashed"));
  });
  // Drawing from the start, but below the stage until the loaded step, so
  // that the still stays in sight and the page is ready when it comes up.
  webOnStage_ = false;
  relayout();
  webView_->show();
  page->loadArtwork(QUrl::fromEncoded(QByteArray::fromStdString(url->string())));
}

void ArtStageView::pageFinished() {
  if (status_.kind != Kind::loading && status_.kind != Kind::paused) return;
  contentReady_ = true;
  send(ArtRuntime::setFPSScript(fps_));
  if (status_.kind == Kind::loading) loadedStep();
}

void ArtStageView::loadedStep() {
  watchdog_.stop();
  const std::uint64_t generation = generation_;
  QTimer::singleShot(loadedStepMs, this, [this, generation] { showLoaded(generation); });
}

void ArtStageView::showLoaded(std::uint64_t generation) {
  if (!isCurrent(generation) || status_.kind != Kind::loading) return;
  // Not playing before the page has shown whether it can draw.
  if (verdict_ == Verdict::due) judgeDrawing();
  if (verdict_ == Verdict::judging) return;
  if (webView_) {
    webOnStage_ = true;
    relayout();
  }
  if (player_) {
    videoOnStage_ = true;
    relayout();
  }
  setStillVisible(false);
  setStatus(Status::playing());
}

void ArtStageView::fail(const QString& message) {
  watchdog_.stop();
  setStillVisible(true);
  // Released, not frozen: a script that never yields takes no freeze.
  tearDownWeb();
  if (player_) player_->pause();
  if (playerView_) playerView_->hide();
  videoVisible_ = false;
  if (gifView_) gifView_->stopAnimation();
  setStatus(Status::failed(message));
}

// A hidden page would otherwise keep running its scripts.
void ArtStageView::freezePage() {
  if (auto* p = page(); p && p->lifecycleState() == QWebEnginePage::LifecycleState::Active) {
    p->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
  }
}

void ArtStageView::tearDownWeb() {
  verdict_ = Verdict::unasked;
  ++judgeSerial_;
  // Deleted later: this may run inside one of its own signals. Its render
  // process ends with it.
  if (webView_) {
    if (auto* p = page()) {
      p->disconnect(this);
      p->triggerAction(QWebEnginePage::Stop);
    }
    webView_->hide();
    webView_->deleteLater();
    webView_ = nullptr;
  }
}

void ArtStageView::tearDown() {
  contentReady_ = false;
  pausedLoading_ = false;
  tearDownWeb();
  tearDownVideo();
  if (gifView_) {
    gifView_->hide();
    gifView_->deleteLater();
    gifView_ = nullptr;
  }
}

void ArtStageView::stop() {
  released_ = false;
  watchdog_.stop();
  ++generation_;
  fetchStop_.request_stop();
  fetchStop_ = std::stop_source();
  tearDown();
  status_ = Status::idle();
}

void ArtStageView::showStill(const std::optional<QImage>& image) {
  stop();
  artwork_.reset();
  const bool given = image && !image->isNull();
  still_ = given ? *image : QImage();
  if (given && !aspectLocked_) setAspect(double(still_.width()) / std::max(1, still_.height()));
  setStillVisible(given);
}

void ArtStageView::pause() {
  if (status_.kind != Kind::loading && status_.kind != Kind::playing) return;
  pausedLoading_ = status_.kind == Kind::loading;
  // A frozen page shows nothing new: it is judged afresh once it runs.
  if (verdict_ == Verdict::judging) {
    verdict_ = Verdict::due;
    ++judgeSerial_;
  }
  if (webView_) send(ArtRuntime::pauseScript());
  if (player_) player_->pause();
  if (gifView_) gifView_->stopAnimation();
  if (webView_ && webView_->isVisible() && webOnStage_) {
    const QImage snapshot = webView_->grab().toImage();
    if (!snapshot.isNull()) still_ = snapshot;
  }
  freezeBehindStill();
  setStatus(Status::paused());
}

void ArtStageView::freezeBehindStill() {
  setStillVisible(true);
  if (webView_) {
    webView_->hide();
    freezePage();
  }
  if (playerView_) playerView_->hide();
  videoVisible_ = false;
  if (gifView_) gifView_->hide();
}

void ArtStageView::release() {
  if (status_.kind != Kind::paused || !artwork_) return;
  watchdog_.stop();
  ++generation_;
  fetchStop_.request_stop();
  fetchStop_ = std::stop_source();
  tearDown();
  released_ = true;
}

void ArtStageView::resume() {
  if (released_ && artwork_) {
    released_ = false;
    const Artwork artwork = *artwork_;
    load(artwork);
    return;
  }
  if (status_.kind != Kind::paused) return;
  if (auto* p = page()) p->setLifecycleState(QWebEnginePage::LifecycleState::Active);
  // A work that had not played yet goes on loading, its page below the
  // stage and the still in sight, until the loaded step and any verdict.
  const bool played = !pausedLoading_;
  if (webView_) {
    webOnStage_ = played;
    relayout();
    webView_->show();
  }
  if (playerView_) playerView_->show();
  videoVisible_ = player_ != nullptr;
  if (gifView_) {
    gifView_->show();
    gifView_->startAnimation();
  }
  if (webView_) send(ArtRuntime::resumeScript());
  // A player still waiting for its picture starts once that is ready.
  if (player_ && !player_->source().isEmpty()) player_->play();
  if (!played) {
    const std::uint64_t generation = generation_;
    setStatus(Status::loading());
    if (!isCurrent(generation) || status_.kind != Kind::loading) return;
    if (contentReady_) {
      loadedStep();
    } else {
      watchdog_.start();
    }
    return;
  }
  setStillVisible(false);
  setStatus(Status::playing());
  if (status_.kind == Kind::playing && verdict_ == Verdict::due) judgeDrawing();
}

void ArtStageView::setFps(int fps) {
  fps_ = fps;
  if (webView_) send(ArtRuntime::setFPSScript(fps));
}

void ArtStageView::send(const QString& script) {
  if (auto* p = page()) p->runJavaScript(script);
}

}  // namespace tavolune
