#pragma once

#include "core/base/Date.hpp"
#include "core/model/DisplayChoices.hpp"
#include "core/base/Json.hpp"

#include <optional>
#include <string>

namespace tavolune {

// One display's state, keyed in the library by the display's identity.
struct ScreenConfig {
  Framing framing = Framing::passePartout;
  std::optional<std::string> currentArtworkID{};
  std::optional<Date> lastChange{};

  ScreenConfig() = default;
  explicit ScreenConfig(Framing f) : framing(f) {}

  static ScreenConfig fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const ScreenConfig&, const ScreenConfig&) = default;
};

}  // namespace tavolune
