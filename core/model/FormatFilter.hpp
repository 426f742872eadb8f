#pragma once

#include "core/model/ArtworkShape.hpp"
#include "core/base/Enum.hpp"

#include <optional>
#include <string_view>

namespace tavolune {

// The format criterion of a library filter.
enum class FormatFilter { fitsScreen, landscape, square, portrait };

template <>
struct EnumNames<FormatFilter> {
  static constexpr std::array<std::string_view, 4> names{"fitsScreen", "landscape", "square", "portrait"};
};

namespace formats {
// Relative tolerance of fitsScreen.
inline constexpr double screenTolerance = 0.12;
}  // namespace formats

// "Fits My Screen", "Landscape", "Square", "Portrait".
std::string_view label(FormatFilter f);
inline std::string_view id(FormatFilter f) { return rawValue(f); }

// Whether a work of this shape has the format; a work without a known shape
// has none, a responsive work only fits the screen.
bool matches(FormatFilter f, const std::optional<ArtworkShape>& shape, double screenAspect);

}  // namespace tavolune
