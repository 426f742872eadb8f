#include "core/model/ArtLayout.hpp"
#include "core/model/Placement.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tavolune {
namespace {

TEST(LayoutLabels, RatioNamesComeFromTheTableOrTwoDecimals) {
  struct Row {
    double ratio;
    std::string name;
  } rows[] = {
      {1.0, "1:1"},         {1.49, "3:2"},       {1.4142, "√2:1"},   {1.41, "√2:1"},
      {0.7071, "1:√2"},     {16.0 / 9, "16:9"},  {0.5625, "9:16"},   {1.6, "16:10"},
      {2.0, "2.00:1"},      {2.4, "2.40:1"},     {0.3, "0.30:1"},
      // Nothing near zero, a negative or a missing ratio has a common name.
      {0.0, "0.00:1"},      {-1.0, "-1.00:1"},
  };
  for (const auto& row : rows) EXPECT_EQ(ArtLayout::ratioName(row.ratio), row.name) << row.ratio;
  const std::string nan = ArtLayout::ratioName(std::numeric_limits<double>::quiet_NaN());
  EXPECT_NE(nan, "1:1");
  EXPECT_TRUE(nan.ends_with(":1"));
}

TEST(LayoutLabels, LayoutAndPlacementLabels) {
  EXPECT_EQ(ArtLayout::fixed(1.5).label(), "Fixed ratio 3:2");
  EXPECT_EQ(ArtLayout::responsive().label(), "Responsive: fills the whole screen");
  EXPECT_EQ(ArtLayout::unknown().label(), "Format can\u2019t be measured");

  EXPECT_EQ(Placement::framed(1.5, Framing::passePartout).label(), "Mat");
  EXPECT_EQ(Placement::framed(1.5, Framing::fill).label(), "Fill");
  EXPECT_EQ(Placement::framed(0.2, Framing::fit).label(), "Fit");
  EXPECT_EQ(Placement::inFrame(FrameStyle::none, std::nullopt).label(), "No Frame");
  EXPECT_EQ(Placement::inFrame(FrameStyle::naturalOak, 1.0).label(), "Natural Oak");
  EXPECT_EQ(Placement::fullBleed().label(), "Full Screen (responsive artwork)");
}

}  // namespace
}  // namespace tavolune
