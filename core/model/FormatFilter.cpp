#include "core/model/FormatFilter.hpp"

#include <cmath>

namespace tavolune {

std::string_view label(FormatFilter f) {
  switch (f) {
    case FormatFilter::fitsScreen: return "Fits My Screen";
    case FormatFilter::landscape: return "Landscape";
    case FormatFilter::square: return "Square";
    case FormatFilter::portrait: return "Portrait";
  }
  return "";
}

bool matches(FormatFilter f, const std::optional<ArtworkShape>& shape, double screenAspect) {
  if (!shape) return false;
  if (shape->isResponsive()) return f == FormatFilter::fitsScreen;
  const double r = shape->value;
  switch (f) {
    case FormatFilter::fitsScreen: return std::abs(r - screenAspect) / screenAspect <= formats::screenTolerance;
    case FormatFilter::landscape: return r > 1.1;
    case FormatFilter::square: return r >= 0.9 && r <= 1.1;
    case FormatFilter::portrait: return r < 0.9;
  }
  return false;
}

}  // namespace tavolune
