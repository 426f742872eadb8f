#pragma once
// Runs one generative work off screen, for one job: measures at which shape
// it draws, or renders a still of it at a screen's pixel size. GUI thread
// only; every step is a timer or a script callback, so the GUI thread stays
// free while a page settles.
//
// The page lives in a borderless window that bypasses the window manager,
// takes no focus and no input, and sits far outside every screen; it is
// shown (the engine stops drawing hidden views) but never seen.

#include "app/stage/ProbeService.hpp"
#include "core/media/ByteBudget.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/model/LayoutSample.hpp"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <memory>
#include <functional>
#include <optional>
#include <vector>

class QWebEngineView;

namespace tavolune {

class ArtPage;

class LayoutProbe final : public QObject {
  Q_OBJECT

 public:
  struct Timings {
    std::chrono::milliseconds loadTimeout{20'000};
    std::chrono::milliseconds firstLook{1'200};   // before the first look at a still
    std::chrono::milliseconds flagGrace{400};     // after the page said it rendered
    std::chrono::milliseconds lookInterval{700};  // between looks
    // Past the load time-out and the job's own waits: a page whose script
    // never yields answers no script call, so only a timer ends its job.
    std::chrono::milliseconds deadlineMargin{5'000};
  };

  // Where the window goes: on no screen.
  static constexpr int offscreenOrigin = -30'000;
  // Stills larger than this on either side are refused (a 8K display fits).
  static constexpr int maxPixelSide = 8192;
  // A page must exceed this many points on both sides.
  static constexpr int minPointSide = 10;
  static constexpr int lookWidth = 96;  // points
  static constexpr double settledDifference = 0.004;
  // The probe's reading of a page's successive small looks: a look agrees
  // when its thumbprint is within settledDifference of the one before.
  class Looks {
   public:
    // Takes the next look, judged blank or not; true once the page has
    // settled: this look and the one before agreed and were not blank.
    bool take(std::vector<std::uint8_t> print, bool blank);
    // Agreeing blank looks in a row.
    int blankRun() const { return blankRun_; }

   private:
    std::vector<std::uint8_t> lastPrint_;
    bool settledOnce_ = false;
    int blankRun_ = 0;
  };

  // A small look at the view's page, lookWidth points wide; null when none
  // could be taken.
  static QImage look(QWebEngineView& view);
  explicit LayoutProbe(ContentFetcher fetcher, QObject* parent = nullptr) : LayoutProbe(std::move(fetcher), Timings{}, parent) {}
  LayoutProbe(ContentFetcher fetcher, Timings timings, QObject* parent = nullptr);
  ~LayoutProbe() override;

  // One job per probe; a second call answers nothing. done runs later, on
  // this thread, unless the probe is destroyed first, and at the latest
  // when a page of the job outlasts its deadline (pageDeadline).
  void measure(const Artwork& artwork, double settle, std::function<void(std::optional<RenderProfile>)> done);
  void renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                   std::function<void(ProbeService::Still)> done);

  // The page's size in CSS pixels for a still, or none when the size or
  // scale is out of range, not finite, or 10 points or less on a side.
  static std::optional<QSize> pointSize(QSize pixelSize, double scale);
  // How long each page of a job may take from its load: the load time-out,
  // the page's wait (the settle, or maxWait and the grace after a flag) and
  // the margin. A slow gateway fails a load before it.
  std::chrono::milliseconds pageDeadline(bool still, double wait) const;
  // The job ended because its page hung: past its deadline, or a load that
  // timed out waiting for nothing it had asked for.
  bool ranOutOfTime() const { return ranOutOfTime_; }

  // For tests: the window while a page is up, the pages loaded so far and
  // the samples of the last measurement.
  QWebEngineView* view() const { return view_; }
  int pagesLoaded() const { return pagesLoaded_; }
  const std::vector<LayoutSample>& samples() const { return samples_; }

 private:
  // Loads url in a fresh off-screen view of widgetSize (device-independent
  // pixels) at zoom; then(true) once it finished, then(false) after a
  // failure, a crash or the load time-out (the view is gone then).
  void load(const QUrl& url, QSize widgetSize, double zoom, std::function<void(bool)> then);
  void complete(std::uint64_t serial, bool ok);
  void loadTimedOut(std::uint64_t serial);
  void teardown();
  // Ends the job with no answer but nothing, its page gone.
  void runOutOfTime();
  ArtPage* page() const;
  // Runs fn after ms unless this probe or the current view is gone by then.
  void after(std::chrono::milliseconds ms, std::function<void()> fn);
  void evaluate(const QString& script, std::function<void(const QVariant&)> fn);

  void measureViewport(std::size_t index);
  void finishMeasure();

  void look();
  void finishStill(ProbeService::Ending ending);

  const ContentFetcher fetcher_;
  const Timings timings_;
  bool used_ = false;
  bool ranOutOfTime_ = false;
  QTimer deadline_;  // of the current page
  // What one work's pages, every viewport's, may download.
  std::shared_ptr<ByteBudget> budget_ = std::make_shared<ByteBudget>(std::int64_t{mediaDownloadLimit});
  int pagesLoaded_ = 0;

  QWebEngineView* view_ = nullptr;
  std::uint64_t serial_ = 0;   // of the current view; a step of an older one does nothing
  std::uint64_t pending_ = 0;  // the serial whose load is pending, 0 when none
  std::function<void(bool)> loaded_;
  bool crashed_ = false;

  // measuring
  QUrl url_;
  double settle_ = 0;
  std::vector<LayoutSample> samples_;
  std::function<void(std::optional<RenderProfile>)> measured_;

  // a still
  QSize pixelSize_;
  double maxWait_ = 0;
  QElapsedTimer clock_;
  Looks looks_;
  // The page was refused WebGL: a blank still of it says nothing of
  // a computer that can draw.
  bool webGLRefused_ = false;
  std::function<void(ProbeService::Still)> rendered_;
};

}  // namespace tavolune
