#pragma once
// The one view that shows a single artwork live (web page, looping video or
// animated GIF) over a still that stands in while it loads, while paused
// and after a failure; lays it out for a Placement. GUI thread only.

#include "app/qt/PoolJobs.hpp"
#include "app/render/Geometry.hpp"
#include "app/stage/DrawVerdict.hpp"
#include "core/media/ByteBudget.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/DisplayChoices.hpp"
#include "core/model/Placement.hpp"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

class QAudioOutput;
class QMediaPlayer;
class QVideoSink;
class QWebEngineView;

namespace tavolune {

class ArtPage;
class GifView;
class PlayerView;

class ArtStageView final : public QWidget {
  Q_OBJECT

 public:
  struct Status {
    enum class Kind { idle, loading, playing, paused, failed };
    Kind kind = Kind::idle;
    QString message;  // only for failed

    static Status idle() { return {}; }
    static Status loading() { return {Kind::loading, {}}; }
    static Status playing() { return {Kind::playing, {}}; }
    static Status paused() { return {Kind::paused, {}}; }
    static Status failed(QString message) { return {Kind::failed, std::move(message)}; }
    friend bool operator==(const Status&, const Status&) = default;
  };

  // A load still unfinished after this fails.
  static constexpr int watchdogMs = 20'000;
  static constexpr int loadedStepMs = 600;
  // A page refused WebGL is judged by what it draws with and what shows
  // (DrawVerdict), its still in sight meanwhile; it plays whenever it
  // draws. One that could never be looked at plays at the end.
  static constexpr int fetchTimeoutSeconds = 60;
  // Why a work that the engine cannot draw shows its still.
  static constexpr const char* cannotDrawMessage = "this computer cannot draw this artwork";

  explicit ArtStageView(ContentFetcher fetcher, QWidget* parent = nullptr);
  ~ArtStageView() override;

  void load(const Artwork& artwork);
  void showStill(const std::optional<QImage>& image);
  void stop();
  void pause();
  void resume();
  void release();
  void apply(const Placement& placement);
  void relayout();

  int fps() const { return fps_; }
  void setFps(int fps);

  const std::optional<Artwork>& artwork() const { return artwork_; }
  const Status& status() const { return status_; }
  bool isReleased() const { return released_; }

  Framing framing() const { return framing_; }
  void setFraming(Framing framing);
  double aspect() const { return aspect_; }
  void setAspect(double aspect);
  bool fullBleed() const { return fullBleed_; }
  void setFullBleed(bool fullBleed);
  const std::optional<std::pair<FrameStyle, std::optional<double>>>& hanging() const { return hanging_; }
  bool aspectLocked() const { return aspectLocked_; }
  void setAspectLocked(bool locked) { aspectLocked_ = locked; }
  // Takes effect from the next load; tests use a short one.
  void setWatchdogMs(int ms) { watchdog_.setInterval(ms); }

  // For a stage inside a clipped view: when the player's picture would be a
  // native window (which no parent clips), the stage paints the frames
  // itself instead. Takes effect from the next video loaded.
  void setPaintsVideo(bool paints) { paintsVideo_ = paints; }
  bool paintsVideo() const { return paintsVideo_; }
  // The video frame painted now; null unless the stage paints video.
  const QImage& videoFrame() const { return videoFrame_; }

  // Shown around the art where nothing else is drawn; the default matte at first.
  const QColor& layerBackground() const { return background_; }
  void setLayerBackground(const QColor& colour);
  // That colour made opaque, or the default matte.
  QColor matte() const;
  // What a transparent page shows through: the colour the surround paints
  // in the art rectangle when hung, else the matte.
  QColor pageBackground() const;

  // The still layer: its image and whether it shows.
  const QImage& stillImage() const { return still_; }
  void setStillImage(const QImage& image);
  bool stillVisible() const { return stillVisible_ && !still_.isNull(); }
  const QImage& surroundImage() const { return surround_; }
  const QString& surroundKey() const { return surroundKey_; }
  bool surroundVisible() const { return surroundVisible_; }

  // Where the art goes now, in widget coordinates.
  QRectF artRect() const { return artRect_; }

  // The live content, when any (for the desktop and for tests).
  QWebEngineView* webView() const { return webView_; }
  ArtPage* page() const;
  PlayerView* playerView() const { return playerView_; }
  QMediaPlayer* player() const { return player_; }
  GifView* gifView() const { return gifView_; }

  std::function<void(const Status&)> onStatusChange;

 signals:
  void statusChanged(const tavolune::ArtStageView::Status& status);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void setStatus(Status status);
  void loadGIF(const Artwork& artwork);
  void loadVideo(const Artwork& artwork);
  void loadWeb(const Artwork& artwork);
  // Fetches uri off the GUI thread; done runs on it unless the load moved on.
  void fetchThen(const std::string& uri, std::function<void(MediaContent)> done);
  void installVideo(const QString& file);
  void startVideo(const QString& file);
  void tearDownVideo();
  void pageFinished();
  void loadedStep();
  void showLoaded(std::uint64_t generation);
  void webGLRefused();
  void judgeDrawing();
  void lookAtPage(std::uint64_t serial);
  void heardReport(const QString& text);
  void fail(const QString& message);
  void tearDown();
  // Drops the page, whose render process ends with it.
  void tearDownWeb();
  void freezePage();
  void setStillVisible(bool visible);
  void updateSurround();
  // The still layer at its current contents, with the live views hidden.
  void freezeBehindStill();
  void send(const QString& script);
  void paintVideoFrom(QMediaPlayer* player, std::uint64_t generation);
  bool isCurrent(std::uint64_t generation) const { return generation == generation_; }

  ContentFetcher fetcher_;
  std::optional<Artwork> artwork_;
  Status status_;
  Framing framing_ = Framing::fit;
  double aspect_ = 1.0;
  bool fullBleed_ = false;
  std::optional<std::pair<FrameStyle, std::optional<double>>> hanging_;
  int fps_ = 30;
  bool aspectLocked_ = false;
  bool released_ = false;
  bool paintsVideo_ = false;

  QColor background_;
  QImage still_;
  bool stillVisible_ = false;
  QImage surround_;
  QColor surroundArt_;
  QString surroundKey_;
  bool surroundVisible_ = false;
  QRectF artRect_;

  QWebEngineView* webView_ = nullptr;
  // Whether the page lies over the art rectangle or, while it loads, below the stage.
  bool webOnStage_ = false;
  // Whether the page draws, once it was refused WebGL somewhere.
  enum class Verdict { unasked, due, judging, draws };
  Verdict verdict_ = Verdict::unasked;
  DrawVerdict judge_;
  QElapsedTimer judging_;
  std::uint64_t judgeSerial_ = 0;  // a look of an earlier judging does nothing
  // The content is ready to show (page finished, GIF or video installed);
  // the work was paused before it played.
  bool contentReady_ = false;
  bool pausedLoading_ = false;
  QMediaPlayer* player_ = nullptr;
  QAudioOutput* audio_ = nullptr;
  PlayerView* playerView_ = nullptr;
  QVideoSink* videoSink_ = nullptr;
  QImage videoFrame_;
  bool videoVisible_ = false;
  // Whether the player's picture lies over the art rectangle or, until the
  // loaded step, is a point that leaves the still in sight.
  bool videoOnStage_ = false;
  GifView* gifView_ = nullptr;

  QTimer watchdog_;
  // Every load, stop, still and release starts a new generation; an
  // asynchronous step whose generation is gone does nothing.
  std::uint64_t generation_ = 0;
  std::stop_source fetchStop_;
  // What the work last loaded as a page may download: its reloads and a
  // resume after release share it.
  std::shared_ptr<ByteBudget> pageBudget_;
  std::string pageBudgetWork_;
  PoolJobs jobs_{this};
};

}  // namespace tavolune

Q_DECLARE_METATYPE(tavolune::ArtStageView::Status)
