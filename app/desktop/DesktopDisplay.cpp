#include "app/desktop/DesktopDisplay.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/stage/ArtStageView.hpp"

#include <algorithm>

namespace tavolune {

DesktopDisplay::~DesktopDisplay() {
  stopPasses();
  delete window_.data();
  delete cartel_.data();
}

StageWindow* DesktopDisplay::window() const { return window_.data(); }

void DesktopDisplay::setWindow(StageWindow* window) { window_ = window; }

CartelPanel* DesktopDisplay::cartel() const { return cartel_.data(); }

void DesktopDisplay::setCartel(CartelPanel* panel) { cartel_ = panel; }

bool DesktopDisplay::releasesWindow(const StageWindow* window) const {
  return hasReleaseTask() && release_.window.data() == window;
}

ArtStageView* DesktopDisplay::stage() const {
  return window_ ? qobject_cast<ArtStageView*>(window_->stage()) : nullptr;
}

void DesktopDisplay::closeWindow() {
  if (auto* s = stage()) s->stop();
  delete window_.data();
  window_ = nullptr;
}

void DesktopDisplay::closeCartel() {
  delete cartel_.data();
  cartel_ = nullptr;
}

void DesktopDisplay::remember(const std::string& artworkID) {
  history_.push_back(artworkID);
  if (history_.size() > historyLimit) {
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(historyKeep));
  }
}

void DesktopDisplay::forget(const std::string& artworkID) { std::erase(history_, artworkID); }

std::uint64_t DesktopDisplay::beginRender() {
  const std::uint64_t generation = generation_->fetch_add(1) + 1;
  // The older render's fetch is of no use any more.
  fetchStop_.request_stop();
  fetchStop_ = std::stop_source();
  return generation;
}

void DesktopDisplay::stopPasses() {
  generation_->fetch_add(1);
  fetchStop_.request_stop();
}

bool DesktopDisplay::takePrerender(const std::shared_ptr<int>& token) {
  if (!prerender_ || prerender_ != token) return false;
  prerender_.reset();
  return true;
}

void DesktopDisplay::setRelease(std::unique_ptr<QTimer> timer) { release_ = Release{window_, std::move(timer)}; }

}  // namespace tavolune
