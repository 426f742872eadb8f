#pragma once

#include "core/base/Enum.hpp"

#include <string_view>

namespace tavolune {

// The platform a work was minted on.
enum class Platform { artBlocks, brightMoments, fxhash, objkt, editArt, verse, versum, ordinals, generic };

template <>
struct EnumNames<Platform> {
  static constexpr std::array<std::string_view, 9> names{
      "artBlocks", "brightMoments", "fxhash", "objkt", "editArt", "verse", "versum", "ordinals", "generic"};
};

std::string_view displayName(Platform platform);

}  // namespace tavolune
