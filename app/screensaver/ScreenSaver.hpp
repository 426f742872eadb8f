#pragma once
// The application's own screen saver: after the idle time the user chose it
// covers every display with a black window above everything that shows works
// of the collection (live when the power rules allow), changes them with a
// cross-fade, and ends on real input, giving the focus back to the window
// that had it. It can also be shown at once, or play one exhibition as a
// slideshow stepped by the right arrow and space. Main builds one. GUI
// thread only; nothing here blocks: stills are fetched on the thread pool.

#include "app/components/ImageServices.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/DisplayChoices.hpp"

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QEvent;

namespace tavolune {

class ActiveWindow;
class AppModel;
class DesktopWindows;
class DisplayInhibitors;
class DisplaySource;
class IdleClock;
class PowerPolicy;
class SaverWindow;

// The saver's waits and clock; tests shorten the fades and periods.
struct ScreenSaverTimings {
  using Clock = std::chrono::steady_clock;
  double minimumWait = 5;       // seconds, the shortest idle timer
  double blockedRecheck = 60;   // seconds, while locked, asleep or inhibited
  double longestWait = 86'400;  // seconds in one timer; a longer delay re-arms
  std::chrono::milliseconds watch{1500};
  std::chrono::milliseconds watchAfter{2000};  // no watch verdict before this
  double inputRecent = 1.5;                    // seconds of idleness that count as input
  std::chrono::milliseconds rotate{180'000};
  std::chrono::milliseconds slideshowRotate{45'000};
  std::chrono::milliseconds fadeIn{1200};
  std::chrono::milliseconds fadeOut{800};
  std::chrono::milliseconds dismissFade{250};
  std::chrono::milliseconds grace{1500};
  std::function<Clock::time_point()> now = &Clock::now;
};

class ScreenSaver final : public QObject {
  Q_OBJECT

 public:
  using Clock = ScreenSaverTimings::Clock;
  using Timings = ScreenSaverTimings;

  // The platform services the saver reads; they outlive it.
  struct Services {
    DisplaySource& displays;
    IdleClock& idle;
    DisplayInhibitors& inhibitors;
    ActiveWindow& activeWindow;
    DesktopWindows& windows;
  };

  struct Slideshow {
    Uuid exhibition;
    std::optional<std::string> last;
  };

  // The idle timer as armed: its wait and the lateness it may take.
  struct Arming {
    double wait = 0;
    double tolerance = 0;
  };

  static constexpr std::size_t recentLimit = 50;
  // Points a pointer may move in one event without ending the saver.
  static constexpr int jiggle = 3;
  static constexpr int liveFps = 30;
  static constexpr int stillPixels = 2048;

  ScreenSaver(AppModel& model, PowerPolicy& power, ImageServices images, Services services, Timings timings = {},
              QObject* parent = nullptr);
  ~ScreenSaver() override;

  // Follows the power state (a lock or display sleep dismisses), the
  // displays (a change dismisses) and the delay setting (each change
  // re-arms); arms at once. Once.
  void start();
  // Shows the saver now; nothing while showing or without a display.
  void show();
  // Ends the saver, fading its windows out; nothing when not showing.
  void dismiss();
  bool isShowing() const { return showing_; }

  const std::optional<Slideshow>& slideshow() const { return slideshow_; }
  // The exhibitions list dismisses, sets the exhibition, then shows.
  void setSlideshow(std::optional<Uuid> exhibition);

  // The idle timer's arithmetic and state.
  std::optional<Arming> armed() const;
  void arm(std::optional<double> after = std::nullopt);
  // What the idle timer runs: shows, waits the remainder, or checks again
  // in a minute while something keeps the saver away.
  void checkIdle();

  // The next work for a window of that size; advances the slideshow or
  // notes the work as recent.
  std::optional<Artwork> nextArtwork(QSize frame);
  // Fades every window to its next work.
  void rotate();
  bool canRunLive() const;

  const std::deque<std::string>& recent() const { return recent_; }
  // The windows while showing, in the displays' order.
  std::vector<SaverWindow*> windows() const;
  bool watching() const { return watchTimer_.isActive(); }
  bool rotating() const { return rotateTimer_.isActive(); }
  std::chrono::milliseconds rotateInterval() const { return std::chrono::milliseconds(rotateTimer_.interval()); }

 signals:
  // The saver's windows came up or went away: live desktop windows pause
  // while it shows.
  void showingChanged(bool showing);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void present(const std::optional<Artwork>& work, SaverWindow& window);
  // The work's picture, shown as the still once it comes; under a live work
  // it waits beneath whenever it comes, in sight while that loads or once it fails.
  void fetchStill(const Artwork& work, SaverWindow& window, std::uint64_t token, bool live = false);
  void fadeIn(SaverWindow& window);
  // One event the saver's windows received: ignored, a slideshow step, or the end.
  void handle(QEvent* event);
  bool owns(const SaverWindow* window) const;
  bool isOurs(QObject* object) const;
  void delaySettingChanged();
  Framing mainFraming() const;
  double delay() const;
  void watch();

  AppModel& model_;
  PowerPolicy& power_;
  ImageServices images_;
  Services services_;
  Timings timings_;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);

  std::optional<Slideshow> slideshow_;
  bool showing_ = false;
  bool started_ = false;
  std::vector<std::unique_ptr<SaverWindow>> windows_;
  std::vector<std::unique_ptr<SaverWindow>> closing_;  // fading out after a dismiss
  QTimer idleTimer_;
  std::optional<Arming> arming_;
  std::uint64_t armGeneration_ = 0;
  QTimer watchTimer_;
  QTimer rotateTimer_;
  bool filtering_ = false;
  std::optional<double> lastDelay_;
  Clock::time_point shownAt_{};
  std::optional<std::uint32_t> previousWindow_;
  QPoint lastPointer_;
  bool cursorHidden_ = false;
  std::deque<std::string> recent_;
};

}  // namespace tavolune
