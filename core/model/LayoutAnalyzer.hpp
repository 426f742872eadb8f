#pragma once

#include "core/model/ArtLayout.hpp"
#include "core/model/DisplayChoices.hpp"
#include "core/model/LayoutSample.hpp"
#include "core/model/Placement.hpp"
#include "core/model/RGBColor.hpp"
#include "core/model/RenderProfile.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Turns what the off-screen probe saw into a series' format, and decides
// where a work goes on a screen. Pure functions.
namespace tavolune::LayoutAnalyzer {

// Window sizes (width, height) the probe measures at, in this order.
inline constexpr std::array<std::pair<int, int>, 2> probeViewports{{{1600, 1000}, {1000, 1000}}};

// Drawings this small (CSS pixels, either side) do not count.
inline constexpr double minimumElementSize = 4;
// A drawing this large in both directions fills the window.
inline constexpr double fillFraction = 0.97;
// Ratios this close to their median agree.
inline constexpr double ratioAgreement = 0.04;
// A ratio this close to the screen's fills the screen.
inline constexpr double screenTolerance = 0.12;
// A background more transparent than this is no background.
inline constexpr double minimumBackgroundAlpha = 0.5;

// Evaluated in the page; returns the JSON text of one LayoutSample.
extern const std::string_view measureScript;

RenderProfile profile(const std::vector<LayoutSample>& samples);
ArtLayout classify(const std::vector<LayoutSample>& samples);
std::optional<RGBColor> parseCSSColor(const std::optional<std::string>& text);
std::optional<RGBColor> parseCSSColor(std::string_view text);

// framed or fullBleed, never inFrame.
Placement placement(const std::optional<ArtLayout>& layout, std::optional<double> fallbackRatio, double screenAspect,
                    std::optional<Framing> preferred);

}  // namespace tavolune::LayoutAnalyzer
