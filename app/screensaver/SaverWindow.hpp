#pragma once
// One display's screen-saver window: a black stage window over the whole
// display, above everything, holding the keyboard and pointer while shown;
// its stage; the fades of its opacity; and the token of its newest request,
// so a late still or a late fade never lands over a newer work. GUI thread
// only; nothing here blocks.

#include "app/platform/DisplaySource.hpp"
#include "core/media/ContentFetcher.hpp"

#include <QPointer>
#include <QSize>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>

class QObject;
class QVariantAnimation;

namespace tavolune {

class ArtStageView;
class DesktopWindows;
class StageWindow;

class SaverWindow final {
 public:
  SaverWindow(const Display& display, const ContentFetcher& fetcher, DesktopWindows& windows);
  // Stops the stage and deletes the window (and with it any page it holds).
  ~SaverWindow();
  SaverWindow(const SaverWindow&) = delete;
  SaverWindow& operator=(const SaverWindow&) = delete;

  StageWindow* window() const { return window_; }
  ArtStageView* stage() const { return stage_; }
  // The display's size in its own pixels.
  QSize frameSize() const { return frame_; }
  double aspect() const { return double(frame_.width()) / std::max(frame_.height(), 1); }

  // Shows the window at screen-saver level; false when the keyboard or
  // pointer could not be taken.
  bool present();
  void setCursorHidden(bool hidden);
  // Lets the keyboard and pointer go at once, before the window fades away.
  void releaseInput();

  // A new request supersedes every older one: their results are dropped.
  std::uint64_t newRequest();
  bool isCurrent(std::uint64_t token) const { return token == token_; }
  // Stops the still fetch of the previous request and gives the next one's stop.
  std::stop_token newFetch();

  // Animates the window's opacity; done runs on the GUI thread once the fade
  // reached its end (not when a newer fade replaced it), unless context is gone.
  void fade(double to, std::chrono::milliseconds duration, QObject* context, std::function<void()> done = {});
  double opacity() const;

 private:
  QSize frame_;
  DesktopWindows& windows_;
  QPointer<StageWindow> window_;
  ArtStageView* stage_ = nullptr;
  QPointer<QVariantAnimation> fade_;
  std::uint64_t token_ = 0;
  std::stop_source fetchStop_;
};

}  // namespace tavolune
