#pragma once
// What the desktop keeps for one display, by screen key: its live window and
// wall label, the works it showed, the render generation and fetch stop its
// still passes watch, the next work pre-rendered, the picture last set and
// the pending release of a paused live window. Kept while the display is
// gone, so its history is there when it comes back. GUI thread only; the
// generation cell and the stop token are shared with the passes' workers.

#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tavolune {

class ArtStageView;
class CartelPanel;
class StageWindow;

// What was last set as a display's desktop picture.
struct AppliedPicture {
  std::filesystem::path file;
  QString options;
  friend bool operator==(const AppliedPicture&, const AppliedPicture&) = default;
};

class DesktopDisplay {
 public:
  static constexpr std::size_t historyLimit = 200;
  static constexpr std::size_t historyKeep = 100;

  DesktopDisplay() = default;
  // Its windows go with it.
  ~DesktopDisplay();
  DesktopDisplay(const DesktopDisplay&) = delete;
  DesktopDisplay& operator=(const DesktopDisplay&) = delete;

  // --- windows ---
  StageWindow* window() const;
  ArtStageView* stage() const;
  void setWindow(StageWindow* window);
  // Stops its stage and deletes the live window, if any.
  void closeWindow();
  CartelPanel* cartel() const;
  void setCartel(CartelPanel* panel);
  void closeCartel();

  // --- rotation ---
  const std::vector<std::string>& history() const { return history_; }
  // Notes a work it showed; a long history drops its older half.
  void remember(const std::string& artworkID);
  void forget(const std::string& artworkID);
  const std::optional<std::string>& upcoming() const { return upcoming_; }
  void setUpcoming(std::string artworkID) { upcoming_ = std::move(artworkID); }
  std::optional<std::string> takeUpcoming() { return std::exchange(upcoming_, std::nullopt); }

  // --- renders ---
  std::uint64_t generation() const { return generation_->load(); }
  bool isCurrent(std::uint64_t generation) const { return this->generation() == generation; }
  // A new render: older passes give up at their next check and their fetch
  // stops. Returns the new generation.
  std::uint64_t beginRender();
  // Workers read it to see they are overtaken.
  std::shared_ptr<const std::atomic<std::uint64_t>> generationCell() const { return generation_; }
  std::stop_token fetchToken() const { return fetchStop_.get_token(); }
  // The running fetch gives up; the passes go on.
  void stopFetch() { fetchStop_.request_stop(); }
  // Every pass gives up: the desktop stops.
  void stopPasses();
  // The text naming all that the last render depended on.
  bool sameSignature(const QString& signature) const { return signature_ == signature; }
  void setSignature(QString signature) { signature_ = std::move(signature); }
  void passStarted() { ++passes_; }
  // True when that was its last pass under way.
  bool passEnded() { return --passes_ <= 0 ? (passes_ = 0, true) : false; }

  // The one pending pre-render: a newer token supersedes it.
  std::shared_ptr<int> newPrerender() { return prerender_ = std::make_shared<int>(0); }
  // True, and the pre-render no longer pending, when the token is the latest.
  bool takePrerender(const std::shared_ptr<int>& token);
  void dropPrerender() { prerender_.reset(); }

  const std::optional<AppliedPicture>& applied() const { return applied_; }
  void setApplied(AppliedPicture picture) { applied_ = std::move(picture); }

  // --- power ---
  bool hasReleaseTask() const { return release_.timer != nullptr; }
  // The release counts from the first pause of this very window.
  bool releasesWindow(const StageWindow* window) const;
  // A release of the current live window, run by the timer.
  void setRelease(std::unique_ptr<QTimer> timer);
  void dropRelease() { release_ = {}; }

 private:
  struct Release {
    QPointer<StageWindow> window;
    std::unique_ptr<QTimer> timer;
  };
  QPointer<StageWindow> window_;
  QPointer<CartelPanel> cartel_;
  std::vector<std::string> history_;
  std::optional<std::string> upcoming_;
  std::shared_ptr<std::atomic<std::uint64_t>> generation_ = std::make_shared<std::atomic<std::uint64_t>>(0);
  std::stop_source fetchStop_;
  std::optional<QString> signature_;
  int passes_ = 0;
  std::shared_ptr<int> prerender_;
  std::optional<AppliedPicture> applied_;
  Release release_;
};

}  // namespace tavolune
