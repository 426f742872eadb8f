#include "app/desktop/DesktopController.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"

#include <system_error>

namespace tavolune {

DesktopController::DesktopController(AppModel& model, Services services, std::filesystem::path wallpaperDir,
                                     QObject* parent)
    : QObject(parent),
      model(model),
      power(services.session, services.power, services.coverage, services.displays, this),
      wallpaperDir(std::move(wallpaperDir)),
      services_(services) {
  std::error_code ignored;
  std::filesystem::create_directories(this->wallpaperDir, ignored);
}

DesktopController::~DesktopController() {
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

}  // namespace tavolune
