#pragma once

#include "core/model/DisplayChoices.hpp"

#include <optional>
#include <string>
#include <variant>

namespace tavolune {

// Where a work goes on a screen.
struct Placement {
  struct Framed {
    double ratio = 1;
    Framing framing = Framing::passePartout;
    friend bool operator==(const Framed&, const Framed&) = default;
  };
  struct InFrame {
    FrameStyle style = FrameStyle::none;
    std::optional<double> ratio{};  // none: the work would otherwise fill the screen
    friend bool operator==(const InFrame&, const InFrame&) = default;
  };
  struct FullBleed {
    friend bool operator==(const FullBleed&, const FullBleed&) = default;
  };

  std::variant<Framed, InFrame, FullBleed> value{FullBleed{}};

  static Placement framed(double ratio, Framing framing) { return {Framed{ratio, framing}}; }
  static Placement inFrame(FrameStyle style, std::optional<double> ratio) { return {InFrame{style, ratio}}; }
  static Placement fullBleed() { return {FullBleed{}}; }

  // "Mat", "Fill", "Fit", the frame style's name or "Full Screen (responsive
  // artwork)". Wallpaper files are named after it: keep the texts stable.
  std::string label() const;

  template <class T>
  const T* as() const {
    return std::get_if<T>(&value);
  }

  friend bool operator==(const Placement&, const Placement&) = default;
};

}  // namespace tavolune
