#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::FakeDisplaySource;

Display display(QString key, std::uint32_t number, QString name, bool main) {
  Display d;
  d.key = std::move(key);
  d.number = number;
  d.name = std::move(name);
  d.isMain = main;
  d.geometry = QRect(0, 0, 1920, 1080);
  d.available = d.geometry;
  return d;
}

struct Rig : testsupport::DesktopFakes {
  QTemporaryDir dir;
  AppModel model{[this] {
    AppModel::Options o;
    o.storeURL = root() / "library.json";
    o.cacheDirectory = root() / "Media";
    return o;
  }()};
  std::filesystem::path root() const { return dir.path().toStdString(); }
};

TEST(DesktopControllerState, StartsEmptyAndMakesTheWallpapersFolder) {
  Rig rig;
  DesktopController controller(rig.model, rig.services(), rig.root() / "a" / "Wallpapers");
  EXPECT_TRUE(std::filesystem::is_directory(rig.root() / "a" / "Wallpapers"));
  EXPECT_TRUE(controller.screens().empty());
  EXPECT_FALSE(controller.userPaused());
  EXPECT_FALSE(controller.isLivePlaying());
  EXPECT_TRUE(controller.preparing().empty());

  // A folder that cannot be made (a file stands in the way) stops nothing.
  std::ofstream(rig.root() / "file") << "x";
  DesktopController blocked(rig.model, rig.services(), rig.root() / "file" / "Wallpapers");
  EXPECT_FALSE(std::filesystem::exists(rig.root() / "file" / "Wallpapers"));
}

TEST(DesktopControllerState, FindsDisplaysByExactKey) {
  Rig rig;
  DesktopController controller(rig.model, rig.services(), rig.root() / "Wallpapers");
  EXPECT_FALSE(controller.display("display-1"));  // no displays at all

  rig.displays.set({display("0F1E2D3C-0000-4000-8000-000000000001", 1, "Left", true),
                    display("display-7", 7, "Right", false)});
  ASSERT_TRUE(controller.display("display-7"));
  EXPECT_EQ(controller.display("display-7")->number, 7u);
  EXPECT_EQ(controller.display("0F1E2D3C-0000-4000-8000-000000000001")->name, "Left");
  EXPECT_FALSE(controller.display("0f1e2d3c-0000-4000-8000-000000000001"));  // case matters
  EXPECT_FALSE(controller.display("display-8"));
}

TEST(DesktopControllerState, PublishesOnlyChanges) {
  Rig rig;
  DesktopController controller(rig.model, rig.services(), rig.root() / "Wallpapers");
  QSignalSpy screens(&controller, &DesktopController::screensChanged);
  QSignalSpy paused(&controller, &DesktopController::userPausedChanged);
  QSignalSpy preparing(&controller, &DesktopController::preparingChanged);

  const auto main = DesktopController::screenInfo(display("display-1", 1, "Built-in", true));
  auto other = main;
  other.isMain = false;
  controller.setScreens({main});
  controller.setScreens({main});
  EXPECT_EQ(screens.count(), 1);
  // Differing only in the main flag (or the name) is a different list.
  controller.setScreens({other});
  EXPECT_EQ(screens.count(), 2);

  controller.setUserPaused(true);
  controller.setUserPaused(true);
  EXPECT_EQ(paused.count(), 1);

  // Renders are counted per work: the second end leaves it prepared no more.
  controller.beginPreparing("ethereum:0xa:1");
  controller.beginPreparing("ethereum:0xa:1");
  controller.endPreparing("ethereum:0xa:1");
  EXPECT_TRUE(controller.isPreparing("ethereum:0xa:1"));
  controller.endPreparing("ethereum:0xa:1");
  EXPECT_FALSE(controller.isPreparing("ethereum:0xa:1"));
  EXPECT_TRUE(controller.preparing().empty());
  controller.endPreparing("ethereum:0xa:1");  // an extra end changes nothing
  EXPECT_EQ(preparing.count(), 4);
}

}  // namespace
}  // namespace tavolune
