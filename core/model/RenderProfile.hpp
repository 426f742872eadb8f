#pragma once

#include "core/model/ArtLayout.hpp"
#include "core/base/Date.hpp"
#include "core/base/Json.hpp"
#include "core/model/RGBColor.hpp"

#include <optional>

namespace tavolune {

// What measuring a generative series found: its format and its own
// background colour.
struct RenderProfile {
  ArtLayout layout{};
  std::optional<RGBColor> background{};
  Date measuredAt{};

  static RenderProfile fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const RenderProfile&, const RenderProfile&) = default;
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::RenderProfile> {
  std::size_t operator()(const tavolune::RenderProfile& p) const noexcept;
};
