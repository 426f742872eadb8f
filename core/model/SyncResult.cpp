#include "core/model/SyncResult.hpp"

#include <algorithm>

namespace tavolune {

std::size_t SyncResult::visibleCount() const {
  return static_cast<std::size_t>(
      std::count_if(owned.begin(), owned.end(), [](const OwnedArtwork& o) { return !o.artwork.isSpam; }));
}

bool SyncResult::wasLeftUnread(Chain chain) const {
  return std::find(unchecked.begin(), unchecked.end(), chain) != unchecked.end() ||
         std::find(failedChains.begin(), failedChains.end(), chain) != failedChains.end();
}

}  // namespace tavolune
