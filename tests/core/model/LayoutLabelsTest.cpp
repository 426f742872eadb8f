#include "core/model/ArtLayout.hpp"
#include "core/model/Placement.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

namespace tavolune {
namespace {

struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
};

// A desktop that writes decimals with a comma, for as long as it lives: the
// C++ global locale always, and the C library's numbers too where such a
// locale is installed.
class CommaLocale {
 public:
  CommaLocale() : previous_(std::locale::global(std::locale(std::locale::classic(), new CommaDecimals))) {
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    previousNumeric_ = numeric ? numeric : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
      if (std::setlocale(LC_NUMERIC, name)) break;
    }
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, previousNumeric_.c_str());
    std::locale::global(previous_);
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

 private:
  std::locale previous_;
  std::string previousNumeric_;
};

TEST(LayoutLabels, RatioNamesComeFromTheTableOrTwoDecimals) {
  const CommaLocale comma;
  std::ostringstream localized;
  localized << std::fixed << std::setprecision(2) << 2.4;
  ASSERT_EQ(localized.str(), "2,40") << "the comma locale is not in effect";
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
