#pragma once
// What one does with an exhibition from the sidebar row and the header:
// put it on the desktop, take it off, walk through it full screen. The
// desktop and the screen saver are reached through functions that the
// program fills in. GUI thread only.

// <string> first: moc cannot parse <compare> when it comes first.
#include <string>

#include "core/base/Uuid.hpp"

#include <functional>

namespace tavolune {

class AppModel;

struct ExhibitionActions {
  std::function<void(const Uuid&)> show{};
  std::function<void()> stop{};
  std::function<void(const Uuid&)> visit{};

  // play: the desktop controller's play(exhibition); visit: the screen
  // saver's slideshow of the exhibition. Stopping is the model's operation,
  // which the desktop hears like every other change.
  static ExhibitionActions make(AppModel& model, std::function<void(const Uuid&)> play,
                                std::function<void(const Uuid&)> visit);
};

}  // namespace tavolune
