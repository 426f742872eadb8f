#pragma once
// The desktop engine's one controller: which work each display shows, its
// live window and wall label, and the state views observe (the displays,
// the user's pause, whether live art plays, the works being prepared).
// Created in main after the app model and destroyed before the application
// object. GUI thread only; nothing here blocks.

#include "app/desktop/DesktopDisplay.hpp"
#include "app/desktop/DesktopFormats.hpp"
#include "app/desktop/PowerPolicy.hpp"
#include "app/desktop/StillPass.hpp"
#include "app/platform/DisplaySource.hpp"
#include "app/platform/IdleClock.hpp"
#include "app/qt/PoolJobs.hpp"
#include "core/base/Date.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/Placement.hpp"
#include "core/model/ScreenConfig.hpp"

#include <QColor>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace tavolune {

class AppModel;
class ArtStageView;
class CartelPanel;
class Compositor;
class DesktopWindows;
class PowerSources;
class SessionWatch;
class StageWindow;
class WallpaperBackend;
class WindowCoverage;
class WorkspaceWatch;

// The controller's waits and clock; tests shorten them and set the clock.
struct DesktopTimings {
  std::chrono::milliseconds screensDebounce{1000};
  std::chrono::milliseconds tick{60'000};
  std::chrono::milliseconds prerenderWait{20'000};
  double cartelSeconds = 10;
  // A paused live work keeps its content this long.
  std::chrono::milliseconds releaseDelay{120'000};
  std::chrono::milliseconds measureEvery{600'000};
  std::chrono::milliseconds measureGap{5'000};
  std::function<Date()> now = &tavolune::now;
  // Told after each step of a still pass, on the thread that ran it.
  StillStageWatch stageDone{};
};

class DesktopController final : public QObject {
  Q_OBJECT

 public:
  // One connected display as views see it: equal only when every field is.
  struct ScreenInfo {
    QString id;  // the screen key
    std::uint32_t displayID = 0;
    QString name;
    bool isMain = false;
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
  };

  // The platform services the controller reads; they outlive it.
  struct Services {
    DisplaySource& displays;
    SessionWatch& session;
    PowerSources& power;
    WindowCoverage& coverage;
    WallpaperBackend& wallpapers;
    DesktopWindows& windows;
    const Compositor& compositor;
    WorkspaceWatch& workspace;
    DesktopFormats& formats;
    IdleClock& idle = unknownIdleClock();
  };

  using Timings = DesktopTimings;

  // The frame-rate cap of every live desktop stage.
  static constexpr int liveFps = 30;
  // Idle measuring: series per run, and seconds without input before one.
  static constexpr std::size_t measureBatch = 5;
  static constexpr double measureAfterIdleSeconds = 180;

  using AppliedPicture = tavolune::AppliedPicture;

  // Makes the wallpapers folder (a failure is left to the writes into it)
  // and builds the power policy, which does nothing until started.
  DesktopController(AppModel& model, Services services, std::filesystem::path wallpaperDir, Timings timings = {},
                    QObject* parent = nullptr);
  // Stops its still passes and waits for their workers.
  ~DesktopController() override;

  PowerPolicy& power() { return power_; }
  const PowerPolicy& power() const { return power_; }
  const std::filesystem::path& wallpaperDir() const { return wallpaperDir_; }

  // --- published ---
  const std::vector<ScreenInfo>& screens() const { return screens_; }
  void setScreens(std::vector<ScreenInfo> screens);
  bool userPaused() const { return userPaused_; }
  void setUserPaused(bool paused);
  bool isLivePlaying() const { return isLivePlaying_; }
  void setLivePlaying(bool playing);
  // Renders under way per artwork id.
  const std::map<std::string, int>& preparing() const { return preparing_; }
  bool isPreparing(const std::string& artworkID) const;
  void beginPreparing(const std::string& artworkID);
  void endPreparing(const std::string& artworkID);

  // --- display identity ---
  // The connected display with that key (exact comparison), or nothing.
  // A copy: look it up again after every asynchronous step.
  std::optional<Display> display(const QString& key) const;
  static ScreenInfo screenInfo(const Display& display);

  // --- running ---
  // Follows the library, the displays and the workspace, starts the power
  // policy and the rotation tick, then renders every display. Once.
  void start();
  // Stops the live works and takes our windows off the screen.
  void shutdown();
  void refreshScreens(bool render);

  // --- queries ---
  // The display's saved config, else framing fit and nothing shown yet.
  ScreenConfig config(const QString& key) const;
  std::optional<QString> mainKey() const;
  std::optional<Artwork> currentArtwork(const std::optional<QString>& key = std::nullopt) const;
  // The display's desktop pool, by id (for its aspect while connected).
  std::vector<std::string> pool(const QString& key) const;

  // --- commands (no key: every display) ---
  void show(const Artwork& artwork, const std::optional<QString>& key = std::nullopt);
  void next(const std::optional<QString>& key = std::nullopt);
  void previous(const std::optional<QString>& key = std::nullopt);
  void play(const Uuid& exhibition);
  void restartLive(const std::optional<QString>& key = std::nullopt);
  void setFraming(Framing framing, const std::optional<QString>& key = std::nullopt);
  void previewCartels();
  // Advances every display whose interval has passed, unless paused.
  void tick();
  void libraryChanged();
  // Sets each display's applied picture again where the workspace (zero-based)
  // does not show it already.
  void reapplyWallpapers(int workspace);
  // Pauses or resumes every live window under the user's pause, the screen
  // saver and the power policy; a work paused for 120 s gives up its content.
  void applyPower();
  // Told by the screen saver when it shows and when it goes.
  void setScreenSaverShowing(bool showing);
  bool screenSaverShowing() const { return screenSaverShowing_; }
  // Measures a few unmeasured series while the user is away; one run at a time.
  void measureWhileIdle();
  bool isMeasuringIdle() const { return measuringIdle_; }
  // The main display's state in one line, for the menu and diagnostics.
  QString statusLine() const;

  // --- rendering ---
  void renderScreen(const QString& key, bool advanceIfMissing, bool onlyIfChanged);
  void showCartel(const QString& key);
  // A fast (highQuality false) or high-quality still pass; done runs on the
  // GUI thread when it ends, whatever the outcome.
  void applyStaticWallpaper(const Artwork& work, const Placement& placement, const QString& key,
                            std::uint64_t generation, bool highQuality, std::function<void()> done = {});
  void cleanWallpapers(const QString& key, const std::filesystem::path& keeping);
  void prerenderUpcoming(const QString& key);

  // Text naming everything a render of the display depends on.
  QString renderSignature(const Artwork& work, const Placement& placement, const Display& display) const;

  // --- per-display state, for views and tests ---
  const std::vector<std::string>& history(const QString& key) const;
  std::optional<std::string> upcoming(const QString& key) const;
  std::optional<AppliedPicture> applied(const QString& key) const;
  std::uint64_t renderGeneration(const QString& key) const;
  StageWindow* liveWindow(const QString& key) const;
  ArtStageView* liveStage(const QString& key) const;
  CartelPanel* cartel(const QString& key) const;
  std::size_t liveWindowCount() const;
  bool hasReleaseTask(const QString& key) const;
  // Still-pass steps under way on workers.
  std::size_t passesRunning() const { return jobs_.running(); }

 signals:
  void screensChanged();
  void userPausedChanged(bool paused);
  void livePlayingChanged(bool playing);
  // A live window's stage loaded, played, paused or failed: the status line
  // may read otherwise, whether or not the tray plays.
  void liveStatusChanged();
  void preparingChanged();
  // A still pass set a display's desktop picture.
  void wallpaperApplied(const QString& key);

 private:
  using Pass = std::shared_ptr<StillPass>;
  using PassDone = std::function<void()>;
  void startIdleMeasuring();
  void measureNext(std::shared_ptr<std::vector<Artwork>> works, std::size_t next);
  bool mayMeasure() const;
  void setCurrent(const std::string& artworkID, const QString& key);
  void advance(const QString& key, bool forward);
  // The display's current work has no still to show: the next one with a
  // still is shown instead, at most once round the pool.
  void passOver(const QString& key, const std::string& broken);
  std::vector<QString> targetKeys(const std::optional<QString>& key) const;
  CartelPanel& cartelPanel(const QString& key);
  // The series' own background colour, when measuring found one.
  std::optional<QColor> seriesBackground(const Artwork& work) const;
  // The library says it runs live, and the session can hold a live window
  // at desktop level; otherwise its still stands in.
  bool runsLive(const Artwork& work) const;
  void closeDisplay(const QString& key);
  void livePath(const QString& key, const Display& display, const Artwork& work, const Placement& placement,
                const ScreenConfig& config);
  void stillTask(const Artwork& work, const Placement& placement, const QString& key, std::uint64_t generation,
                 const ScreenConfig& config);
  void highQualityPass(const Artwork& work, const QString& key, std::uint64_t generation, const ScreenConfig& config,
                       double aspect);
  void decodePass(Pass pass, PassDone done);
  void decoded(Pass pass, PassDone done);
  void composePass(Pass pass, PassDone done);
  void setPass(Pass pass, PassDone done);
  void finishPass(const Pass& pass, const PassDone& done);
  void removeStrayWallpapers();
  // The display's record, made on first use; the lookup of one that may be
  // missing.
  DesktopDisplay& at(const QString& key);
  const DesktopDisplay* find(const QString& key) const;
  bool isCurrent(const QString& key, std::uint64_t generation) const;

  AppModel& model;
  PowerPolicy power_;
  const std::filesystem::path wallpaperDir_;
  Services services_;
  Timings timings_;
  QTimer screensDebounce_;
  bool strayCleaned_ = false;
  std::vector<ScreenInfo> screens_;
  bool userPaused_ = false;
  bool isLivePlaying_ = false;
  std::map<std::string, int> preparing_;
  std::map<QString, DesktopDisplay> displays_;
  // Per display, the works passed over since its last picture was set.
  std::map<QString, std::set<std::string>> passedOver_;
  bool screenSaverShowing_ = false;
  bool measuringIdle_ = false;

  std::unique_ptr<QTimer> rotationTimer_;
  std::unique_ptr<QTimer> measureTimer_;
  bool started_ = false;
  // Last: its workers are waited for before anything above goes.
  PoolJobs jobs_{this};
};

}  // namespace tavolune
