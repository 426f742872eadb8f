#include "tests/app/desktop/DesktopRig.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/stage/ArtStageView.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QTest>

namespace tavolune {
namespace {

using testsupport::DesktopRig;
using testsupport::FakeDesktopWindows;
using testsupport::makeDisplay;

const QString A = "display-1";

struct Live : ::testing::Test {
  DesktopRig rig;
  Artwork gif = [this] {
    // Its bytes are a PNG: the stage fails to read it, the still pass does not.
    Artwork a = rig.addWork("1");
    seedLibrary(*rig.model, [id = a.id](LibraryState& s) {
      s.artworks[id].mime = "image/gif";
      s.animatedArtworks.insert(id);
      s.touch();
    });
    return rig.model->state().artworks.at(a.id);
  }();
  Artwork still = rig.addWork("2");

  DesktopController& start() {
    rig.displays.set({makeDisplay(A, 1, true)});
    auto& c = rig.make();
    c.start();
    return c;
  }
};

TEST_F(Live, ALiveWorkRunsInADesktopWindowAboveItsStill) {
  auto& c = start();
  ASSERT_EQ(rig.current(A), gif.id);
  auto* window = c.liveWindow(A);
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->interactive());
  bool atDesktop = false;
  for (const auto& call : rig.windows.calls) {
    atDesktop = atDesktop || (call.window == window && call.level == WindowLevel::desktop);
  }
  EXPECT_TRUE(atDesktop);
  auto* stage = c.liveStage(A);
  ASSERT_TRUE(stage && stage->artwork());
  EXPECT_EQ(stage->artwork()->id, gif.id);
  EXPECT_EQ(stage->fps(), 30);

  // The still is set under it, and the stage has it as its placeholder.
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_FALSE(stage->stillImage().isNull()) << int(stage->status().kind);
  // Around the art: the picture's matte (the red image's edge), not the default grey.
  EXPECT_GT(stage->layerBackground().red(), 150);
  EXPECT_LT(stage->layerBackground().green(), 40);

  // Shown again: the page is not reloaded.
  QSignalSpy status(stage, &ArtStageView::statusChanged);
  c.show(gif, A);
  EXPECT_EQ(c.liveStage(A), stage);
  EXPECT_EQ(status.count(), 0);

  // A quarter turn makes it a still: the window goes.
  seedLibrary(*rig.model, [id = gif.id](LibraryState& s) { s.rotations[id] = 1; });
  seedDesktopChange(*rig.model);
  EXPECT_FALSE(c.liveWindow(A));

  // Back live, then the display vanishes: window and label close.
  seedLibrary(*rig.model, [id = gif.id](LibraryState& s) { s.rotations[id] = 0; });
  seedDesktopChange(*rig.model);
  ASSERT_TRUE(c.liveWindow(A));
  ASSERT_TRUE(c.cartel(A));
  rig.displays.set({});
  c.refreshScreens(false);
  EXPECT_FALSE(c.liveWindow(A));
  EXPECT_FALSE(c.cartel(A));
  EXPECT_EQ(c.liveWindowCount(), 0u);
}

// Wayland without XWayland: nothing can sit at desktop level, so the work
// shows as its still instead of a window above the user's.
TEST_F(Live, WithoutADesktopLevelALiveWorkShowsItsStill) {
  rig.windows.desktopLevel = false;
  auto& c = start();
  ASSERT_EQ(rig.current(A), gif.id);
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_FALSE(c.liveWindow(A));
  EXPECT_FALSE(c.isLivePlaying());
  EXPECT_TRUE(c.statusLine().startsWith(QStringLiteral("Static"))) << c.statusLine().toStdString();
}

TEST_F(Live, TheLabelFollowsItsMode) {
  auto& c = start();
  ASSERT_TRUE(c.cartel(A));
  EXPECT_TRUE(c.cartel(A)->fadeOutPending());  // onChange: fades after a while
  QSignalSpy out(c.cartel(A), &CartelPanel::orderedOut);
  ASSERT_TRUE(out.wait(3000));

  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.cartelMode = CartelMode::always; });
  c.next(A);
  EXPECT_FALSE(c.cartel(A)->fadeOutPending());
  EXPECT_TRUE(c.cartel(A)->isVisible());

  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.cartelMode = CartelMode::never; });
  c.next(A);
  ASSERT_TRUE(out.wait(3000));  // the shown panel fades out
  EXPECT_FALSE(c.cartel(A)->isVisible());

  // Never: no panel is made for a display without one.
  rig.displays.set({makeDisplay(A, 1, true), makeDisplay("display-2", 2, false)});
  c.refreshScreens(true);
  EXPECT_FALSE(c.cartel("display-2"));
}

TEST_F(Live, ARatioLearntLaterRendersTheDisplayAgain) {
  auto& c = start();
  c.show(still, A);
  const auto generation = c.renderGeneration(A);
  seedDesktopChange(*rig.model);
  EXPECT_EQ(c.renderGeneration(A), generation);  // nothing changed
  seedLibrary(*rig.model, [id = still.id](LibraryState& s) {
    s.artworks[id].aspectRatio = 0.5;
    s.touch();
  });
  seedDesktopChange(*rig.model);
  EXPECT_EQ(c.renderGeneration(A), generation + 1);
}

}  // namespace
}  // namespace tavolune
