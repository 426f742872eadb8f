#pragma once
// What one turn of edits changed in the library, as the app model reports
// it: which works and how, which wallets, whether the settings, exhibitions
// or displays changed, and whether the desktop must look again. Views
// refresh only what they show of it. A plain value; any thread (the shared
// lists of works are never written after they are noted).

// <string> first: moc cannot parse <compare> when it comes first.
#include <string>

#include "core/base/IdSet.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/LibraryFilter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
  // Many works changed the same way (an edit of the whole selection): the
  // list is shared by every copy of the report rather than copied per work.
  struct Many {
    std::shared_ptr<const IdSet> ids;
    std::uint8_t aspects = 0;
    // For a change of My Selection: whether every one is in it now.
    std::optional<bool> inMySelection{};
  };

  // Everything may have changed (a load, a sync merge): lists rebuild.
  bool everything = false;
  // Works noted one by one; see also many.
  std::unordered_map<std::string, std::uint8_t> artworks{};
  std::vector<Many> many{};
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
  void note(std::shared_ptr<const IdSet> artworkIDs, Aspect aspect,
            std::optional<bool> inMySelection = std::nullopt) {
    if (artworkIDs && !artworkIDs->empty()) many.push_back({std::move(artworkIDs), aspect, inMySelection});
  }

  // Whether the work changed in one of the aspects (any aspect for 0).
  bool touches(const std::string& artworkID, std::uint8_t aspects = 0xff) const {
    if (everything) return true;
    const auto it = artworks.find(artworkID);
    if (it != artworks.end() && (it->second & aspects) != 0) return true;
    return std::any_of(many.begin(), many.end(),
                       [&](const Many& m) { return (m.aspects & aspects) != 0 && m.ids->contains(artworkID); });
  }
  // Whether one of the works changed in one of the aspects. The works noted
  // one by one are walked from the smaller side; a shared list is tested
  // against the set (a find in it per work would be quadratic).
  bool touchesAny(const IdSet& artworkIDs, std::uint8_t aspects = 0xff) const {
    if (everything) return true;
    const auto inSet = [&](std::string_view id) { return artworkIDs.contains(id); };
    if (artworkIDs.size() < artworks.size()) {
      std::string key;  // one buffer for the lookups
      for (const std::string_view id : artworkIDs) {
        const auto it = artworks.find(key.assign(id));
        if (it != artworks.end() && (it->second & aspects) != 0) return true;
      }
    } else {
      for (const auto& [id, how] : artworks) {
        if ((how & aspects) != 0 && inSet(id)) return true;
      }
    }
    return std::any_of(many.begin(), many.end(), [&](const Many& m) {
      return (m.aspects & aspects) != 0 && std::any_of(m.ids->begin(), m.ids->end(), inSet);
    });
  }
  // Whether some work changed in one of the aspects.
  bool anyArtwork(std::uint8_t aspects = 0xff) const {
    return everything || anyNamed([&](std::string_view, std::uint8_t how) { return (how & aspects) != 0; });
  }
  // How many works are noted; a work noted twice counts twice.
  std::size_t namedCount() const {
    std::size_t n = artworks.size();
    for (const auto& m : many) n += m.ids->size();
    return n;
  }
  // Calls visit(id, aspects) for each noted work, a work noted twice twice;
  // id is a std::string_view.
  template <class Visit>
  void forEachArtwork(Visit&& visit) const {
    anyNamed([&](std::string_view id, std::uint8_t how) {
      visit(id, how);
      return false;
    });
  }
  // Whether the works the filter lists, or their order, may differ now: a
  // work hidden or shown, and what the filter's own criteria test.
  bool mayRelist(const LibraryFilter& f) const {
    if (everything || anyArtwork(hidden)) return true;
    return (f.onDesktopOnly && anyArtwork(selection)) || (f.format && anyArtwork(format | placement)) ||
           (f.exhibitionID && exhibitions) || (f.recentOnly && displays);
  }
  bool empty() const {
    return !everything && artworks.empty() && many.empty() && wallets.empty() && !settings && !exhibitions &&
           !displays && !desktop;
  }

  void merge(const LibraryChange& other) {
    everything = everything || other.everything;
    for (const auto& [id, how] : other.artworks) artworks[id] |= how;
    many.insert(many.end(), other.many.begin(), other.many.end());
    wallets.insert(other.wallets.begin(), other.wallets.end());
    settings = settings || other.settings;
    exhibitions = exhibitions || other.exhibitions;
    displays = displays || other.displays;
    desktop = desktop || other.desktop;
  }

 private:
  // Whether found(id, aspects) holds for some noted work, in noting order
  // within each list.
  template <class Found>
  bool anyNamed(Found&& found) const {
    for (const auto& [id, how] : artworks) {
      if (found(id, how)) return true;
    }
    for (const auto& m : many) {
      for (const std::string_view id : *m.ids) {
        if (found(id, m.aspects)) return true;
      }
    }
    return false;
  }
};

}  // namespace tavolune
