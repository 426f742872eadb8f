#include "core/model/Platform.hpp"

namespace tavolune {

std::string_view displayName(Platform platform) {
  static constexpr std::array<std::string_view, 9> names{
      "Art Blocks", "Bright Moments", "fxhash", "objkt / Hic et Nunc", "EditArt", "Verse", "Versum", "Ordinals",
      "Other"};
  return names[static_cast<std::size_t>(platform)];
}

}  // namespace tavolune
