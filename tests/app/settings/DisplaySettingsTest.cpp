// The framing cards with no display and with two, the frame previews by
// their pixels, and the label style's preview on the desktop.

#include "app/desktop/CartelPanel.hpp"
#include "app/render/FrameRenderer.hpp"
#include "app/settings/DisplaySettings.hpp"
#include "app/settings/FrameCard.hpp"
#include "app/settings/FramesSettings.hpp"
#include "app/settings/FramingCard.hpp"
#include "app/settings/LabelStyleRow.hpp"
#include "app/settings/SettingsControls.hpp"
#include "tests/app/settings/SettingsRig.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QTest>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::makeDisplay;
using testsupport::SettingsRig;

std::vector<Framing> selected(const DisplaySettings& tab) {
  std::vector<Framing> out;
  for (FramingCard* card : tab.framingCards()) {
    if (card->isSelected()) out.push_back(card->framing());
  }
  return out;
}

TEST(FramingCards, InTheirOrderAndFitWithoutADisplay) {
  SettingsRig rig;
  rig.connectDisplays({});
  DisplaySettings tab(*rig.model, *rig.controller);
  std::vector<QString> captions;
  for (FramingCard* card : tab.framingCards()) captions.push_back(card->text());
  EXPECT_EQ(captions, (std::vector<QString>{"Fit", "Fill", "Mat"}));
  EXPECT_EQ(selected(tab), std::vector<Framing>{Framing::fit});

  QSignalSpy changes(rig.model.get(), &AppModel::libraryChanged);
  tab.framingCards()[1]->click();
  deliverChanges(*rig.model);
  EXPECT_EQ(selected(tab), std::vector<Framing>{Framing::fit});
  EXPECT_EQ(changes.count(), 0);
}

TEST(FramingCards, ShowTheMainDisplayAndSetEveryDisplay) {
  SettingsRig rig;
  seedLibrary(*rig.model, [](LibraryState& s) {
    s.screens["a"] = ScreenConfig(Framing::fill);
    s.screens["b"] = ScreenConfig(Framing::passePartout);
  });
  rig.connectDisplays({makeDisplay("a", 1, false), makeDisplay("b", 2, true)});
  DisplaySettings tab(*rig.model, *rig.controller);
  EXPECT_EQ(selected(tab), std::vector<Framing>{Framing::passePartout});

  tab.framingCards()[0]->click();
  deliverChanges(*rig.model);
  EXPECT_EQ(rig.controller->config("a").framing, Framing::fit);
  EXPECT_EQ(rig.controller->config("b").framing, Framing::fit);
  EXPECT_EQ(selected(tab), std::vector<Framing>{Framing::fit});

  // A main display without a stored configuration reads Fit, whatever the
  // other display is set to.
  tab.framingCards()[1]->click();
  deliverChanges(*rig.model);
  rig.connectDisplays({makeDisplay("a", 1, false), makeDisplay("c", 3, true)});
  seedLibrary(*rig.model, [](LibraryState& s) { s.screens.erase("c"); });
  EXPECT_EQ(rig.controller->config("a").framing, Framing::fill);
  EXPECT_EQ(tab.framing(), Framing::fit);
  EXPECT_EQ(selected(tab), std::vector<Framing>{Framing::fit});
}

// The colour at an image point, as 0..255 components.
struct Sample {
  int r, g, b;
};
Sample at(const QImage& image, double x, double y) {
  const QColor c = image.pixelColor(int(x), int(y));
  return {c.red(), c.green(), c.blue()};
}
bool violet(Sample s) { return s.b > 200 && s.r < 150 && s.g < 110; }
bool coral(Sample s) { return s.r > 220 && s.b < 140 && s.g < 140; }

TEST(FramePreviews, VioletTopLeftCoralBottomRightInEveryStyle) {
  for (FrameStyle style : allCases<FrameStyle>()) {
    SCOPED_TRACE(std::string(rawValue(style)));
    const QImage image = FrameCard::preview(style);
    ASSERT_EQ(image.size(), QSize(256, 160));
    const Rect bounds{0, 0, 256, 160};
    const Rect art = style == FrameStyle::none ? Rect{256 / 2.0 - 160 / 3.0, 0, 320 / 3.0, 160}
                                               : FrameRenderer::layout(style, 2.0 / 3.0, bounds).art;
    const QRectF shown = art.toQt(160);  // row 0 is the top of the finished image
    EXPECT_TRUE(violet(at(image, shown.left() + 2, shown.top() + 2)));
    EXPECT_TRUE(coral(at(image, shown.right() - 3, shown.bottom() - 3)));
    if (style == FrameStyle::none) {
      const Sample grey = at(image, 10, 80);  // the field beside the fitted work
      EXPECT_NEAR(grey.r, 41, 2);
      EXPECT_EQ(grey.r, grey.b);
    }
    // Drawn once: the second call hands back the same image.
    EXPECT_EQ(FrameCard::preview(style).cacheKey(), image.cacheKey());
  }
  EXPECT_EQ(FrameCard::previewsDrawn(), 5u);
}

TEST(FramesSettings, FooterAndOneSelectedCard) {
  EXPECT_EQ(FramesSettings::footer(FrameStyle::none), "The artwork alone, framed as set above.");
  EXPECT_EQ(FramesSettings::footer(FrameStyle::naturalOak),
            "Light oak with a fine grain, and an ivory mat. Frames replace the framing above.");
  SettingsRig rig;
  FramesSettings frames(*rig.model);
  ASSERT_EQ(frames.cards().size(), 5u);
  EXPECT_EQ(frames.cards().front()->text(), "No Frame");
  EXPECT_EQ(frames.cards().back()->text(), "Museum Light");
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.frame = FrameStyle::museumLight; });
  int lit = 0;
  for (FrameCard* card : frames.cards()) lit += card->isSelected();
  EXPECT_EQ(lit, 1);
  EXPECT_TRUE(frames.cards().back()->isSelected());
  EXPECT_EQ(frames.footerText(), FramesSettings::footer(FrameStyle::museumLight));

  // On screen, the ring moves over in a spring and then rests.
  frames.show();
  FrameCard* first = frames.cards().front();
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.frame = FrameStyle::none; });
  EXPECT_TRUE(first->isSelected());
  EXPECT_LT(first->selection(), 0.5) << "the ring comes in, not at once";
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->selection() == 1 && frames.cards().back()->selection() == 0; }, 5000));
}

TEST(LabelStyleRow, ChoosingAStylePreviewsTheLabelsEvenWhenNever) {
  SettingsRig rig;
  rig.addWork("1");
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.cartelMode = CartelMode::never; });
  rig.displays.set({makeDisplay("a", 1, true)});
  rig.controller->start();
  ASSERT_TRUE(rig.waitApplied("a"));
  DesktopChanges changes(*rig.model);
  DisplaySettings tab(*rig.model, *rig.controller);
  ASSERT_FALSE(rig.controller->cartel("a"));  // never: no label so far
  const int museum = tab.labelStyleRow()->picker()->findText("Museum");
  emit tab.labelStyleRow()->picker()->activated(museum);
  EXPECT_EQ(changes(), 1);
  EXPECT_EQ(rig.model->state().settings.cartelStyle, CartelStyle::museum);
  ASSERT_TRUE(rig.controller->cartel("a"));
  EXPECT_TRUE(rig.controller->cartel("a")->isVisible());
}

}  // namespace
}  // namespace tavolune
