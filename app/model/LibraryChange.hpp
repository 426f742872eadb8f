#pragma once
// What one turn of edits changed in the library, as the app model reports
// it: which works and how, which wallets, whether the settings, exhibitions
// or displays changed, and whether the desktop must look again. Views
// refresh only what they show of it. A plain value; any thread.

// <string> first: moc cannot parse <compare> when it comes first.
#include <string>

#include "core/base/Uuid.hpp"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace tavolune {

struct LibraryChange {
  // How a work changed; several at once are or-ed together.
  enum Aspect : std::uint8_t {
    hidden = 1,      // hidden, shown, or its collection hidden
    selection = 2,   // in or out of My Selection
    animated = 4,
    format = 8,      // ratio or series profile
    placement = 16,  // preferred framing or rotation
  };

  // Everything may have changed (a load, a sync merge): lists rebuild.
  bool everything = false;
  std::unordered_map<std::string, std::uint8_t> artworks{};
  std::unordered_set<Uuid> wallets{};
  bool settings = false;
  bool exhibitions = false;  // titles, members, order, the one on the desktop
  bool displays = false;     // a display's work, framing, or the recently shown
  // The desktop's pool or how its works are shown changed: it looks again.
  bool desktop = false;

  static LibraryChange all() {
    LibraryChange c;
    c.everything = true;
    c.settings = c.exhibitions = c.displays = c.desktop = true;
    return c;
  }

  void note(const std::string& artworkID, Aspect aspect) { artworks[artworkID] |= aspect; }

  // Whether the work changed in one of the aspects (any aspect for 0).
  bool touches(const std::string& artworkID, std::uint8_t aspects = 0xff) const {
    if (everything) return true;
    const auto it = artworks.find(artworkID);
    return it != artworks.end() && (it->second & aspects) != 0;
  }
  // Whether some work changed in one of the aspects.
  bool anyArtwork(std::uint8_t aspects = 0xff) const {
    if (everything) return true;
    for (const auto& [id, how] : artworks) {
      if (how & aspects) return true;
    }
    return false;
  }
  bool empty() const {
    return !everything && artworks.empty() && wallets.empty() && !settings && !exhibitions && !displays && !desktop;
  }

  void merge(const LibraryChange& other) {
    everything = everything || other.everything;
    for (const auto& [id, how] : other.artworks) artworks[id] |= how;
    wallets.insert(other.wallets.begin(), other.wallets.end());
    settings = settings || other.settings;
    exhibitions = exhibitions || other.exhibitions;
    displays = displays || other.displays;
    desktop = desktop || other.desktop;
  }
};

}  // namespace tavolune
