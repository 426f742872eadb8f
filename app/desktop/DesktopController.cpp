#include "app/desktop/DesktopController.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/WorkspaceWatch.hpp"
#include "app/stage/ArtStageView.hpp"

#include <algorithm>
#include <set>
#include <system_error>

namespace tavolune {

DesktopController::DesktopController(AppModel& model, Services services, std::filesystem::path wallpaperDir,
                                     Timings timings, QObject* parent)
    : QObject(parent),
      model(model),
      power(services.session, services.power, services.coverage, services.displays, this),
      wallpaperDir(std::move(wallpaperDir)),
      services_(services),
      timings_(std::move(timings)) {
  std::error_code ignored;
  std::filesystem::create_directories(this->wallpaperDir, ignored);
  screensDebounce_.setSingleShot(true);
  screensDebounce_.setInterval(timings_.screensDebounce);
  connect(&screensDebounce_, &QTimer::timeout, this, [this] { refreshScreens(true); });
}

DesktopController::~DesktopController() {
  mailbox_->close();
  for (auto& [key, stop] : fetchStops_) stop.request_stop();
  for (auto& [key, cell] : renderGeneration_) cell->fetch_add(1);  // workers give up
  // Windows of ours outlive nothing: close them with the controller.
  for (auto& [key, window] : liveWindows_) delete window.data();
  for (auto& [key, panel] : cartels_) delete panel.data();
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
  connect(&power, &PowerPolicy::stateChanged, this, [this] { applyPower(); });
  power.start([self = QPointer(this)] { return self ? self->model.state().settings : AppSettings(); });
  rotationTimer_ = std::make_unique<QTimer>();
  rotationTimer_->setTimerType(Qt::VeryCoarseTimer);
  rotationTimer_->setInterval(timings_.tick);
  connect(rotationTimer_.get(), &QTimer::timeout, this, [this] { tick(); });
  rotationTimer_->start();
  startIdleMeasuring();
  refreshScreens(true);
}

void DesktopController::shutdown() {
  for (auto& [key, window] : liveWindows_) {
    if (!window) continue;
    if (auto* stage = qobject_cast<ArtStageView*>(window->stage())) stage->stop();
    window->hide();
  }
  for (auto& [key, window] : liveWindows_) delete window.data();
  liveWindows_.clear();
  for (auto& [key, panel] : cartels_) {
    if (panel) panel->hide();
  }
}

void DesktopController::closeDisplay(const QString& key) {
  if (auto it = liveWindows_.find(key); it != liveWindows_.end()) {
    if (auto* stage = liveStage(key)) stage->stop();
    delete it->second.data();
    liveWindows_.erase(it);
  }
  // Its label goes too, live window or not: nothing would ever fade it.
  if (auto it = cartels_.find(key); it != cartels_.end()) {
    delete it->second.data();
    cartels_.erase(it);
  }
  if (auto it = fetchStops_.find(key); it != fetchStops_.end()) it->second.request_stop();
  prerenders_.erase(key);
}

void DesktopController::refreshScreens(bool render) {
  screensDebounce_.stop();
  std::vector<ScreenInfo> list;
  for (const auto& d : services_.displays.displays()) list.push_back(screenInfo(d));
  std::set<QString> keys;
  for (const auto& s : list) keys.insert(s.id);
  screens_ = list;
  emit screensChanged();

  std::set<QString> gone;
  for (const auto& [key, window] : liveWindows_) gone.insert(key);
  for (const auto& [key, panel] : cartels_) gone.insert(key);
  for (const auto& key : gone) {
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
  for (const auto& [key, picture] : applied_) {
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

const std::vector<std::string>& DesktopController::history(const QString& key) const {
  static const std::vector<std::string> none;
  auto it = history_.find(key);
  return it != history_.end() ? it->second : none;
}

std::optional<std::string> DesktopController::upcoming(const QString& key) const {
  auto it = upcoming_.find(key);
  if (it == upcoming_.end()) return std::nullopt;
  return it->second;
}

std::optional<DesktopController::AppliedPicture> DesktopController::applied(const QString& key) const {
  auto it = applied_.find(key);
  if (it == applied_.end()) return std::nullopt;
  return it->second;
}

std::uint64_t DesktopController::renderGeneration(const QString& key) const {
  auto it = renderGeneration_.find(key);
  return it != renderGeneration_.end() ? it->second->load() : 0;
}

std::shared_ptr<std::atomic<std::uint64_t>> DesktopController::generationCell(const QString& key) {
  auto& cell = renderGeneration_[key];
  if (!cell) cell = std::make_shared<std::atomic<std::uint64_t>>(0);
  return cell;
}

bool DesktopController::isCurrent(const QString& key, std::uint64_t generation) const {
  return renderGeneration(key) == generation;
}

StageWindow* DesktopController::liveWindow(const QString& key) const {
  auto it = liveWindows_.find(key);
  return it != liveWindows_.end() ? it->second.data() : nullptr;
}

ArtStageView* DesktopController::liveStage(const QString& key) const {
  auto* window = liveWindow(key);
  return window ? qobject_cast<ArtStageView*>(window->stage()) : nullptr;
}

CartelPanel* DesktopController::cartel(const QString& key) const {
  auto it = cartels_.find(key);
  return it != cartels_.end() ? it->second.data() : nullptr;
}

std::size_t DesktopController::liveWindowCount() const {
  return static_cast<std::size_t>(
      std::count_if(liveWindows_.begin(), liveWindows_.end(), [](const auto& e) { return !e.second.isNull(); }));
}

}  // namespace tavolune
