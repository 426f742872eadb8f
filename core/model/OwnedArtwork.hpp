#pragma once

#include "core/model/Artwork.hpp"

#include <cstdint>
#include <functional>

namespace tavolune {

// What a provider hands back for one token: the work and how many copies
// the wallet holds (1 where the service gives no count).
struct OwnedArtwork {
  Artwork artwork{};
  std::int64_t quantity = 1;

  friend bool operator==(const OwnedArtwork&, const OwnedArtwork&) = default;
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::OwnedArtwork> {
  std::size_t operator()(const tavolune::OwnedArtwork& o) const noexcept;
};
