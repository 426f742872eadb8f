#include "core/model/DisplayChoices.hpp"

namespace tavolune {
namespace {

template <class E, std::size_t N>
std::string_view pick(const std::array<std::string_view, N>& texts, E v) {
  return texts[static_cast<std::size_t>(v)];
}

}  // namespace

std::string_view label(Framing v) { return pick<Framing, 3>({"Mat", "Fill", "Fit"}, v); }

std::string_view label(FrameStyle v) {
  return pick<FrameStyle, 5>({"No Frame", "Gallery White", "Black Float", "Natural Oak", "Museum Light"}, v);
}

std::string_view label(CartelStyle v) {
  return pick<CartelStyle, 4>({"Classic", "Museum", "Minimal", "Editorial"}, v);
}

std::string_view label(CartelMode v) { return pick<CartelMode, 3>({"Never", "On Change (10 s)", "Always"}, v); }

std::string_view label(AnimationPolicy v) {
  return pick<AnimationPolicy, 3>({"Static", "Selected Artworks", "Animate All"}, v);
}

std::string_view label(PlaybackOrder v) { return pick<PlaybackOrder, 2>({"Shuffle", "Sequential"}, v); }

std::string_view explanation(FrameStyle v) {
  return pick<FrameStyle, 5>({"The artwork alone, framed as set above.",
                              "Thin painted wood and a wide mat with a bevelled window.",
                              "A matte black box frame; the artwork floats inside with its own shadow.",
                              "Light oak with a fine grain, and an ivory mat.",
                              "No frame: the artwork stands off the wall under a soft spotlight."},
                             v);
}

std::string_view explanation(AnimationPolicy v) {
  return pick<AnimationPolicy, 3>(
      {"Each artwork is rendered once at screen size, then shown as an image: no ongoing cost.",
       "Still render by default; only artworks marked \u201CAnimate on Desktop\u201D run live.",
       "All generative and video artworks run live (uses more power)."},
      v);
}

}  // namespace tavolune
