// The Format row: its states, and a measurement that follows the series
// rather than the row that started it.
#include "app/inspector/FormatInfo.hpp"
#include "app/inspector/SeriesMeasuring.hpp"
#include "tests/app/inspector/InspectorRig.hpp"
#include "tests/support/ModelEdits.hpp"

namespace tavolune {
namespace {

class FormatInfoTest : public testsupport::InspectorRig {
 protected:
  // In a shown window, as the inspector holds it.
  std::unique_ptr<FormatInfo> row(const Artwork& a) {
    auto r = std::make_unique<FormatInfo>(*model, a, &host);
    host.show();
    return r;
  }
  QWidget host;
  void profile(const Artwork& a, ArtLayout layout, std::optional<RGBColor> background) {
    seedLibrary(*model, [key = a.seriesKey(), layout, background](LibraryState& s) {
      s.renderProfiles[key] = RenderProfile{layout, background, Date{}};
    });
  }
};

TEST_F(FormatInfoTest, States) {
  for (auto kind : {MediaKind::image, MediaKind::video, MediaKind::other}) {
    EXPECT_FALSE(row(InspectorRig::kind("1", kind))->isVisible());
  }
  const Artwork g = kind("2", MediaKind::generative);
  own({g});
  auto r = row(g);
  EXPECT_TRUE(r->isVisible());
  EXPECT_EQ(r->stateText(), "Not measured");
  EXPECT_EQ(r->measureButton().toolTip(), "Measure");
  EXPECT_FALSE(r->swatch());

  profile(g, ArtLayout::responsive(), std::nullopt);
  EXPECT_EQ(r->stateText(), "Responsive: fills the whole screen");
  EXPECT_FALSE(r->swatch());
  EXPECT_EQ(r->measureButton().toolTip(), "Measure Again");

  profile(g, ArtLayout::unknown(), RGBColor{1, 0.5, 0});
  EXPECT_EQ(r->stateText(), "Format can’t be measured");
  ASSERT_TRUE(r->swatch());
  EXPECT_EQ(r->swatch()->rgb(), QColor(255, 128, 0).rgb());
  EXPECT_TRUE(r->measureButton().isEnabled());
}

TEST_F(FormatInfoTest, MeasuringFollowsTheSeries) {
  Artwork first = kind("1", MediaKind::generative);
  first.title = "Dunes #1";
  first.editionNumber = "1";
  Artwork second = kind("2", MediaKind::generative);
  second.title = "Dunes #2";
  second.editionNumber = "2";
  ASSERT_EQ(first.seriesKey(), second.seriesKey());
  own({first, second});
  profile(first, ArtLayout::unknown(), std::nullopt);
  auto one = row(first);
  auto other = row(second);

  one->measureButton().click();
  deliverChanges(*model);
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe && probe->up().size() == 1; }, 5000));
  // The profile is gone; both editions' rows wait for the measurement.
  for (auto* r : {one.get(), other.get()}) {
    EXPECT_TRUE(r->showsSpinner());
    EXPECT_TRUE(r->stateText().isEmpty());
    EXPECT_FALSE(r->measureButton().isEnabled());
  }
  // The inspector moves on and comes back: the new row knows it measures.
  one.reset();
  auto again = row(first);
  EXPECT_TRUE(again->showsSpinner());
  EXPECT_TRUE(SeriesMeasuring::of(*model).isMeasuring(first.seriesKey()));

  probe->answer(RenderProfile{ArtLayout::fixed(1.5), RGBColor{0, 0, 1}, Date{}});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !SeriesMeasuring::of(*model).isMeasuring(first.seriesKey()); }, 5000));
  for (auto* r : {again.get(), other.get()}) {
    EXPECT_FALSE(r->showsSpinner());
    EXPECT_EQ(r->stateText(), "Fixed ratio 3:2");
    EXPECT_TRUE(r->measureButton().isEnabled());
  }
  EXPECT_GE(libraryChangedCalls(), 1);

  // A measurement that finds nothing leaves "Not measured" and the button ready.
  other->measureButton().click();
  deliverChanges(*model);
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe->up().size() == 1; }, 5000));
  probe->answer(std::optional<RenderProfile>{});
  ASSERT_TRUE(QTest::qWaitFor([&] { return other->measureButton().isEnabled(); }, 5000));
  EXPECT_EQ(other->stateText(), "Not measured");
  EXPECT_EQ(other->measureButton().toolTip(), "Measure");
}

}  // namespace
}  // namespace tavolune
