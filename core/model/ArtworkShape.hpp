#pragma once

namespace tavolune {

// A work's shape as shown: a ratio with quarter turns applied, or a work
// that fills any window.
struct ArtworkShape {
  enum class Kind { ratio, responsive };

  Kind kind = Kind::responsive;
  double value = 0;  // width / height when kind is ratio

  static ArtworkShape ratio(double r) { return {Kind::ratio, r}; }
  static ArtworkShape responsive() { return {Kind::responsive, 0}; }

  bool isResponsive() const { return kind == Kind::responsive; }

  friend bool operator==(const ArtworkShape& a, const ArtworkShape& b) {
    return a.kind == b.kind && (a.kind != Kind::ratio || a.value == b.value);
  }
};

}  // namespace tavolune
