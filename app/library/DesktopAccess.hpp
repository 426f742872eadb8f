#pragma once
// What the grid and the selection bar ask of the desktop controller: show
// a work on every display, and whether (and when) a work is being prepared
// for it. Filled by the program from its DesktopController, by tests with
// fakes; an unset member shows nothing and prepares nothing. GUI thread
// only.

#include "core/model/Artwork.hpp"

#include <QObject>

#include <functional>
#include <string>

namespace tavolune {

struct DesktopAccess {
  std::function<void(const Artwork&)> show{};
  std::function<bool(const std::string& artworkID)> isPreparing{};
  // Calls changed after each change of the works being prepared, for as
  // long as context lives.
  std::function<void(QObject* context, std::function<void()> changed)> watchPreparing{};
};

}  // namespace tavolune
