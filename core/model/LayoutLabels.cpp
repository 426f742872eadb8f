#include "core/model/ArtLayout.hpp"
#include "core/model/Placement.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

namespace tavolune {

namespace {

// Searched in this order. 1:√2 is 1 / 1.4142, not 1 / √2.
const std::array<std::pair<std::string_view, double>, 12> ratioNames{{
    {"1:1", 1.0},
    {"4:5", 0.8},
    {"3:4", 0.75},
    {"2:3", 2.0 / 3.0},
    {"9:16", 0.5625},
    {"5:4", 1.25},
    {"4:3", 4.0 / 3.0},
    {"3:2", 1.5},
    {"16:10", 1.6},
    {"16:9", 16.0 / 9.0},
    {"1:√2", 1.0 / 1.4142},
    {"√2:1", 1.4142},
}};

constexpr double nameTolerance = 0.015;

}  // namespace

std::string ArtLayout::ratioName(double ratio) {
  // A ratio of zero or less, or none at all, is close to no name.
  if (std::isfinite(ratio) && ratio > 0) {
    for (const auto& [name, value] : ratioNames) {
      if (std::abs(value - ratio) / ratio < nameTolerance) return std::string(name);
    }
  }
  // to_chars ignores the locale, so a comma locale still writes "2.40:1".
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, ratio, std::chars_format::fixed, 2);
  std::string text = error == std::errc() ? std::string(buffer, end) : std::string("?");
  return text + ":1";
}

std::string ArtLayout::label() const {
  switch (kind) {
    case Kind::fixed: return "Fixed ratio " + ratioName(ratio);
    case Kind::responsive: return "Responsive: fills the whole screen";
    case Kind::unknown: break;
  }
  return "Format can’t be measured";
}

std::string Placement::label() const {
  if (const auto* framed = as<Framed>()) return std::string(tavolune::label(framed->framing));
  if (const auto* hung = as<InFrame>()) return std::string(tavolune::label(hung->style));
  return "Full Screen (responsive artwork)";
}

}  // namespace tavolune
