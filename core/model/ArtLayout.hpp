#pragma once

#include "core/base/Json.hpp"

#include <cstddef>
#include <functional>
#include <string>

namespace tavolune {

// The measured format of a generative series.
struct ArtLayout {
  enum class Kind { fixed, responsive, unknown };

  Kind kind = Kind::unknown;
  double ratio = 0;  // width / height; meaningful only for fixed

  static ArtLayout fixed(double ratio) { return {Kind::fixed, ratio}; }
  static ArtLayout responsive() { return {Kind::responsive, 0}; }
  static ArtLayout unknown() { return {Kind::unknown, 0}; }

  bool isFixed() const { return kind == Kind::fixed; }
  bool isResponsive() const { return kind == Kind::responsive; }
  bool isUnknown() const { return kind == Kind::unknown; }

  // "Fixed ratio 3:2", "Responsive: fills the whole screen" or "Format
  // can’t be measured".
  std::string label() const;
  // The common name of a ratio within 1.5 % ("16:9", "1:√2"), else the
  // ratio with two decimals and ":1", written the same in every locale.
  static std::string ratioName(double ratio);

  // {"fixed": {"ratio": R}}, {"responsive": {}} or {"unknown": {}}.
  static ArtLayout fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const ArtLayout& a, const ArtLayout& b) {
    return a.kind == b.kind && (a.kind != Kind::fixed || a.ratio == b.ratio);
  }
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::ArtLayout> {
  std::size_t operator()(const tavolune::ArtLayout& l) const noexcept;
};
