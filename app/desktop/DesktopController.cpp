#include "app/desktop/DesktopController.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/WorkspaceWatch.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/persistence/Files.hpp"

#include <algorithm>
#include <set>
#include <system_error>

namespace tavolune {

DesktopController::DesktopController(AppModel& model, Services services, std::filesystem::path wallpaperDir,
                                     Timings timings, QObject* parent)
    : QObject(parent),
      model(model),
      power_(services.session, services.power, services.coverage, services.displays, this),
      wallpaperDir_(std::move(wallpaperDir)),
      services_(services),
      timings_(std::move(timings)) {
  // The pictures say what the user collects: theirs alone.
  std::error_code ignored;
  files::createPrivateFolder(wallpaperDir_, ignored);
  screensDebounce_.setSingleShot(true);
  screensDebounce_.setInterval(timings_.screensDebounce);
  connect(&screensDebounce_, &QTimer::timeout, this, [this] { refreshScreens(true); });
}

DesktopController::~DesktopController() {
  // Passes give up at their next check; their workers read nothing of ours
  // and hold the images they use, so nothing waits for them.
  for (auto& [key, d] : displays_) d.stopPasses();
  jobs_.stop();
  // Windows of ours outlive nothing: they close with displays_.
}

void DesktopController::setScreens(std::vector<ScreenInfo> screens) {
  if (screens == screens_) return;
  screens_ = std::move(screens);
  emit screensChanged();
}

void DesktopController::setUserPaused(bool paused) {
  if (paused == userPaused_) return;
  userPaused_ = paused;
  emit userPausedChanged(paused);
}

void DesktopController::setLivePlaying(bool playing) {
  if (playing == isLivePlaying_) return;
  isLivePlaying_ = playing;
  emit livePlayingChanged(playing);
}

bool DesktopController::isPreparing(const std::string& artworkID) const {
  auto it = preparing_.find(artworkID);
  return it != preparing_.end() && it->second > 0;
}

void DesktopController::beginPreparing(const std::string& artworkID) {
  ++preparing_[artworkID];
  emit preparingChanged();
}

void DesktopController::endPreparing(const std::string& artworkID) {
  auto it = preparing_.find(artworkID);
  if (it == preparing_.end()) return;
  if (--it->second <= 0) preparing_.erase(it);
  emit preparingChanged();
}

std::optional<Display> DesktopController::display(const QString& key) const { return services_.displays.display(key); }

DesktopController::ScreenInfo DesktopController::screenInfo(const Display& display) {
  return {display.key, display.number, display.name, display.isMain};
}

// --- running ---

void DesktopController::start() {
  if (started_) return;
  started_ = true;
  connect(&model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.desktop) libraryChanged();
  });
  // Display changes come in bursts: one refresh after a quiet second.
  connect(&services_.displays, &DisplaySource::displaysChanged, this, [this] { screensDebounce_.start(); });
  connect(&services_.workspace, &WorkspaceWatch::currentChanged, this, &DesktopController::reapplyWallpapers);
  connect(&power_, &PowerPolicy::stateChanged, this, [this] { applyPower(); });
  power_.start([self = QPointer(this)] { return self ? self->model.state().settings : AppSettings(); });
  rotationTimer_ = std::make_unique<QTimer>();
  rotationTimer_->setTimerType(Qt::VeryCoarseTimer);
  rotationTimer_->setInterval(timings_.tick);
  connect(rotationTimer_.get(), &QTimer::timeout, this, [this] { tick(); });
  rotationTimer_->start();
  startIdleMeasuring();
  refreshScreens(true);
}

void DesktopController::shutdown() {
  for (auto& [key, d] : displays_) {
    if (auto* window = d.window()) window->hide();
    d.closeWindow();
    if (auto* panel = d.cartel()) panel->hide();
  }
}

void DesktopController::closeDisplay(const QString& key) {
  auto it = displays_.find(key);
  if (it == displays_.end()) return;
  auto& d = it->second;
  d.closeWindow();
  // Its label goes too, live window or not: nothing would ever fade it.
  d.closeCartel();
  d.stopFetch();
  d.dropPrerender();
}

void DesktopController::refreshScreens(bool render) {
  screensDebounce_.stop();
  std::vector<ScreenInfo> list;
  std::vector<QSize> pixels;
  for (const auto& d : services_.displays.displays()) {
    list.push_back(screenInfo(d));
    pixels.push_back(d.geometry.size());
  }
  services_.formats.displaysAre(pixels);
  std::set<QString> keys;
  for (const auto& s : list) keys.insert(s.id);
  screens_ = list;
  emit screensChanged();

  for (const auto& [key, d] : displays_) {
    if (!keys.contains(key)) closeDisplay(key);
  }

  std::vector<std::string> missing;
  for (const auto& s : list) {
    if (!model.state().screens.contains(s.id.toStdString())) missing.push_back(s.id.toStdString());
  }
  if (!missing.empty()) {
    std::optional<std::string> mainID;
    for (const auto& s : list) {
      if (s.isMain) {
        mainID = s.id.toStdString();
        break;
      }
    }
    model.addDisplays(missing, mainID);
  }
  if (!strayCleaned_) {
    strayCleaned_ = true;
    removeStrayWallpapers();
  }
  if (render) {
    for (const auto& s : list) renderScreen(s.id, true, false);
  }
}

void DesktopController::libraryChanged() {
  refreshScreens(false);
  const auto list = screens_;
  for (const auto& s : list) {
    const ScreenConfig config = this->config(s.id);
    const auto& state = model.state();
    const Artwork* work = nullptr;
    if (config.currentArtworkID) {
      if (auto it = state.artworks.find(*config.currentArtworkID); it != state.artworks.end()) work = &it->second;
    }
    if (!work || !state.isVisible(*work)) {
      advance(s.id, true);
    } else {
      renderScreen(s.id, false, true);
    }
  }
}

void DesktopController::reapplyWallpapers(int workspace) {
  for (const auto& [key, state] : displays_) {
    if (!state.applied()) continue;
    const AppliedPicture picture = *state.applied();
    const auto d = display(key);
    if (!d) continue;
    // Setting a picture the workspace already shows would only redraw it.
    services_.wallpapers.currentPicture(
        *d, workspace, this, [this, key = key, picture = picture](std::optional<QString> shown) {
          const QString file = QString::fromStdString(picture.file.string());
          // Gone meanwhile, or a newer picture is applied: nothing to restore.
          const auto now = display(key);
          if (!now || applied(key) != picture || shown == file) return;
          std::error_code error;
          if (!std::filesystem::exists(picture.file, error)) return;
          WallpaperRequest request{*now, services_.displays.displays(), file, QColor(picture.options)};
          services_.wallpapers.setPicture(std::move(request), this, [](WallpaperBackend::Outcome) {});
        });
  }
}

// --- queries ---

ScreenConfig DesktopController::config(const QString& key) const {
  const auto& screens = model.state().screens;
  auto it = screens.find(key.toStdString());
  return it != screens.end() ? it->second : ScreenConfig(Framing::fit);
}

std::optional<QString> DesktopController::mainKey() const {
  for (const auto& s : screens_) {
    if (s.isMain) return s.id;
  }
  if (!screens_.empty()) return screens_.front().id;
  return std::nullopt;
}

std::optional<Artwork> DesktopController::currentArtwork(const std::optional<QString>& key) const {
  const auto k = key ? key : mainKey();
  if (!k) return std::nullopt;
  const auto id = config(*k).currentArtworkID;
  if (!id) return std::nullopt;
  const auto& artworks = model.state().artworks;
  auto it = artworks.find(*id);
  if (it == artworks.end()) return std::nullopt;
  return it->second;
}

std::vector<QString> DesktopController::targetKeys(const std::optional<QString>& key) const {
  if (key) return {*key};
  std::vector<QString> keys;
  for (const auto& s : screens_) keys.push_back(s.id);
  return keys;
}

DesktopDisplay& DesktopController::at(const QString& key) { return displays_.try_emplace(key).first->second; }

const DesktopDisplay* DesktopController::find(const QString& key) const {
  auto it = displays_.find(key);
  return it != displays_.end() ? &it->second : nullptr;
}

const std::vector<std::string>& DesktopController::history(const QString& key) const {
  static const std::vector<std::string> none;
  const auto* d = find(key);
  return d ? d->history() : none;
}

std::optional<std::string> DesktopController::upcoming(const QString& key) const {
  const auto* d = find(key);
  return d ? d->upcoming() : std::nullopt;
}

std::optional<DesktopController::AppliedPicture> DesktopController::applied(const QString& key) const {
  const auto* d = find(key);
  return d ? d->applied() : std::nullopt;
}

std::uint64_t DesktopController::renderGeneration(const QString& key) const {
  const auto* d = find(key);
  return d ? d->generation() : 0;
}

bool DesktopController::isCurrent(const QString& key, std::uint64_t generation) const {
  return renderGeneration(key) == generation;
}

StageWindow* DesktopController::liveWindow(const QString& key) const {
  const auto* d = find(key);
  return d ? d->window() : nullptr;
}

ArtStageView* DesktopController::liveStage(const QString& key) const {
  const auto* d = find(key);
  return d ? d->stage() : nullptr;
}

CartelPanel* DesktopController::cartel(const QString& key) const {
  const auto* d = find(key);
  return d ? d->cartel() : nullptr;
}

std::size_t DesktopController::liveWindowCount() const {
  return static_cast<std::size_t>(
      std::count_if(displays_.begin(), displays_.end(), [](const auto& e) { return e.second.window() != nullptr; }));
}

bool DesktopController::hasReleaseTask(const QString& key) const {
  const auto* d = find(key);
  return d && d->hasReleaseTask();
}

}  // namespace tavolune
