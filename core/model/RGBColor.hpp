#pragma once

#include "core/base/Json.hpp"

#include <cstddef>
#include <functional>

namespace tavolune {

// A colour with channels in 0...1 (a CSS channel divided by 255).
struct RGBColor {
  double r = 0;
  double g = 0;
  double b = 0;

  static RGBColor fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::RGBColor> {
  std::size_t operator()(const tavolune::RGBColor& c) const noexcept;
};
