// The window's tabs follow the shared tab both ways; the screen saver tab's
// preview work and when it looks at the pool.

#include "app/model/SettingsState.hpp"
#include "app/model/WindowManager.hpp"
#include "app/settings/ScreenSaverSettings.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/settings/SettingsView.hpp"
#include "tests/app/settings/SettingsRig.hpp"

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::SettingsRig;

TEST(SettingsView, TabsFollowTheSharedTabBothWays) {
  SettingsRig rig;
  SettingsState state;
  state.setTab(SettingsTab::display);
  SettingsView view(rig.services(), state);
  EXPECT_EQ(view.tab(), SettingsTab::display);
  EXPECT_EQ(view.tabs()->tabText(0), "General");
  EXPECT_EQ(view.tabs()->tabText(2), "Screen Saver");
  state.setTab(SettingsTab::screenSaver);
  EXPECT_EQ(view.tab(), SettingsTab::screenSaver);
  view.tabs()->tabBar()->setCurrentIndex(0);  // the user's pick
  EXPECT_EQ(state.tab(), SettingsTab::general);

  // Closing the window leaves the shared tab as it was.
  state.setTab(SettingsTab::screenSaver);
  delete new SettingsView(rig.services(), state);
  EXPECT_EQ(state.tab(), SettingsTab::screenSaver);
}

TEST(SettingsView, TheWindowOpensOnTheNamedTab) {
  SettingsRig rig;
  WindowManager windows;
  SettingsView::registerWindow(windows, rig.services());
  for (const auto& [name, tab] : std::vector<std::pair<QString, SettingsTab>>{
           {"display", SettingsTab::display}, {"Display", SettingsTab::general},
           {"screenSaver", SettingsTab::screenSaver}, {"", SettingsTab::general}}) {
    SCOPED_TRACE(name.toStdString());
    QWidget* window = windows.showSettings(name);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->size(), QSize(580, 640));
    auto* view = window->findChild<SettingsView*>();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->tab(), tab);
  }
  // Gone before the rig's model and login item are.
  delete windows.window(QStringLiteral("settings"));
  SettingsState::shared().setTab(SettingsTab::general);
}

TEST(ScreenSaverSettings, PreviewWorkIsTheFirstGenerativeElseTheFirst) {
  SettingsRig rig;
  const Artwork image = rig.addWork("1", MediaKind::image);
  const Artwork video = rig.addWork("2", MediaKind::video);
  const Artwork generative = rig.addWork("3", MediaKind::generative);
  EXPECT_EQ(ScreenSaverSettings::previewWork({&image, &video, &generative}), &generative);
  EXPECT_EQ(ScreenSaverSettings::previewWork({&video, &image}), &video);
  EXPECT_FALSE(ScreenSaverSettings::previewWork({}));

  ScreenSaverSettings tab(rig.services());
  tab.show();
  ASSERT_TRUE(tab.previewWork());
  EXPECT_EQ(tab.previewWork()->id, generative.id);
  EXPECT_TRUE(tab.previewCard()->isVisible());

  tab.previewButton()->click();
  EXPECT_EQ(rig.screenSavers, 1);
}

TEST(ScreenSaverSettings, EmptyLibraryShowsNoCardButTheRest) {
  SettingsRig rig;
  ScreenSaverSettings tab(rig.services());
  tab.show();
  EXPECT_FALSE(tab.previewWork());
  EXPECT_FALSE(tab.previewCard()->isVisible());
  EXPECT_TRUE(tab.previewButton()->isVisible());
  EXPECT_TRUE(tab.delayPicker()->isVisible());
}

TEST(ScreenSaverSettings, PoolIsReadOnlyWhenShownAndChanged) {
  SettingsRig rig;
  rig.addWork("1");
  std::size_t builds = 0;
  SettingsServices services = rig.services();
  services.saverPool = [&] {
    ++builds;
    std::vector<Artwork> pool;
    for (const Artwork* a : rig.model->state().desktopPool()) pool.push_back(*a);
    return pool;
  };
  ScreenSaverSettings tab(services);
  EXPECT_EQ(builds, 0u);  // hidden
  tab.show();
  EXPECT_EQ(builds, 1u);
  tab.load();  // a refresh with nothing changed
  EXPECT_EQ(builds, 1u);
  rig.addWork("2", MediaKind::generative);
  EXPECT_EQ(builds, 2u);
  EXPECT_EQ(tab.previewWork()->title, "Work 2");
  tab.hide();
  rig.addWork("3");
  rig.addWork("4");
  EXPECT_EQ(builds, 2u);
  tab.show();
  EXPECT_EQ(builds, 3u);
}

}  // namespace
}  // namespace tavolune
