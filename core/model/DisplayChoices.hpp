#pragma once

#include "core/base/Enum.hpp"

#include <string_view>

// The small enumerations that name the user's display choices, each with the
// label (and for two of them the explanation) the settings show.
namespace tavolune {

// How a work sits on a screen when no frame style places it.
enum class Framing { passePartout, fill, fit };
// The frame drawn around every work.
enum class FrameStyle { none, galleryWhite, blackFloat, naturalOak, museumLight };
// The look of the wall label.
enum class CartelStyle { classic, museum, minimal, editorial };
// When the wall label shows.
enum class CartelMode { never, onChange, always };
// Which works run live on the desktop.
enum class AnimationPolicy { never, selected, all };
// The order in which works take turns.
enum class PlaybackOrder { shuffle, sequential };

template <>
struct EnumNames<Framing> {
  static constexpr std::array<std::string_view, 3> names{"passePartout", "fill", "fit"};
};
template <>
struct EnumNames<FrameStyle> {
  static constexpr std::array<std::string_view, 5> names{"none", "galleryWhite", "blackFloat", "naturalOak",
                                                         "museumLight"};
};
template <>
struct EnumNames<CartelStyle> {
  static constexpr std::array<std::string_view, 4> names{"classic", "museum", "minimal", "editorial"};
};
template <>
struct EnumNames<CartelMode> {
  static constexpr std::array<std::string_view, 3> names{"never", "onChange", "always"};
};
template <>
struct EnumNames<AnimationPolicy> {
  static constexpr std::array<std::string_view, 3> names{"never", "selected", "all"};
};
template <>
struct EnumNames<PlaybackOrder> {
  static constexpr std::array<std::string_view, 2> names{"shuffle", "sequential"};
};

std::string_view label(Framing v);
std::string_view label(FrameStyle v);
std::string_view label(CartelStyle v);
std::string_view label(CartelMode v);
std::string_view label(AnimationPolicy v);
std::string_view label(PlaybackOrder v);

std::string_view explanation(FrameStyle v);
std::string_view explanation(AnimationPolicy v);

}  // namespace tavolune
