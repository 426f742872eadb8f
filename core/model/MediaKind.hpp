#pragma once

#include "core/base/Enum.hpp"

#include <string_view>

namespace tavolune {

enum class MediaKind { generative, video, image, other };

template <>
struct EnumNames<MediaKind> {
  static constexpr std::array<std::string_view, 4> names{"generative", "video", "image", "other"};
};

// The label is the raw value itself.
inline std::string_view label(MediaKind kind) { return rawValue(kind); }

}  // namespace tavolune
