#pragma once
// The primary action offered on artworks (its title, symbol and what it
// does), handed from the library window down to the menus and panels that
// offer it. A plain value; GUI thread only where the action runs.

#include "core/model/Artwork.hpp"

#include <QString>

#include <functional>

namespace tavolune {

struct ArtworkActions {
  QString primaryTitle = QStringLiteral("Show");
  QString primarySymbol = QStringLiteral("rectangle.on.rectangle");
  std::function<void(const Artwork&)> primary{};  // none outside the library window

  // Inside the library window: put the work on every display.
  static ArtworkActions showNow(std::function<void(const Artwork&)> show) {
    return {QStringLiteral("Show Now"), QStringLiteral("menubar.dock.rectangle"), std::move(show)};
  }
};

}  // namespace tavolune
