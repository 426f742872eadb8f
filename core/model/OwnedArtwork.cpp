#include "core/model/OwnedArtwork.hpp"

#include "core/base/Hash.hpp"

std::size_t std::hash<tavolune::OwnedArtwork>::operator()(const tavolune::OwnedArtwork& o) const noexcept {
  return tavolune::hashFields(o.artwork, o.quantity);
}
