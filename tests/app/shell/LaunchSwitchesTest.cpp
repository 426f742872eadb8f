#include <QSettings>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include "app/model/SettingsState.hpp"
#include "app/shell/DefaultsMigration.hpp"
#include "app/shell/LaunchSwitches.hpp"

#include <QSignalSpy>

namespace tavolune {
namespace {

TEST(LaunchSwitches, ComparedExactly) {
  struct Case {
    QStringList args;
    LaunchSwitches expected;
  };
  const auto general = SettingsTab::general;
  const std::vector<Case> cases{
      {{}, {false, false, general}},
      {{"tavolune"}, {false, false, general}},
      {{"--ui-preview"}, {false, false, general}},  // the program's own name is no switch
      {{"tavolune", "--ui-preview"}, {true, false, general}},
      {{"tavolune", "--ui-preview", "--screen-saver"}, {true, true, general}},
      {{"tavolune", "--screen-saver"}, {false, false, general}},
      {{"tavolune", "--ui-preview=1"}, {false, false, general}},
      {{"tavolune", "--UI-PREVIEW"}, {false, false, general}},
      {{"tavolune", "--ui-preview", "--settings-tab=display"}, {true, false, SettingsTab::display}},
      {{"tavolune", "--ui-preview", "--settings-tab=screenSaver"}, {true, false, SettingsTab::screenSaver}},
      {{"tavolune", "--ui-preview", "--settings-tab=Display"}, {true, false, general}},
      {{"tavolune", "--ui-preview", "--settings-tab=screensaver"}, {true, false, general}},
      {{"tavolune", "--ui-preview", "--settings-tab="}, {true, false, general}},
      {{"tavolune", "--ui-preview", "--settings-tab", "display"}, {true, false, general}},
      // Only the first tab switch counts, even when it names no tab.
      {{"tavolune", "--settings-tab=nope", "--settings-tab=display"}, {false, false, general}},
      {{"tavolune", "--settings-tab=display", "--settings-tab=general"}, {false, false, SettingsTab::display}},
  };
  for (const auto& c : cases) EXPECT_EQ(LaunchSwitches::from(c.args), c.expected) << c.args.join(' ').toStdString();
}

TEST(SettingsState, TabsByRawValueAndSharedTab) {
  EXPECT_EQ(settingsTab("general"), SettingsTab::general);
  EXPECT_EQ(settingsTab("display"), SettingsTab::display);
  EXPECT_EQ(settingsTab("screenSaver"), SettingsTab::screenSaver);
  for (const char* none : {"Display", "screensaver", "", " general"}) EXPECT_FALSE(settingsTab(none)) << none;

  SettingsState state;
  EXPECT_EQ(state.tab(), SettingsTab::general);
  QSignalSpy changed(&state, &SettingsState::tabChanged);
  state.setTab(SettingsTab::screenSaver);
  state.setTab(SettingsTab::screenSaver);
  ASSERT_EQ(changed.size(), 1);
  EXPECT_EQ(changed[0][0].value<SettingsTab>(), SettingsTab::screenSaver);
  EXPECT_EQ(&SettingsState::shared(), &SettingsState::shared());
}

TEST(DefaultsMigration, CopiesTheTileSizeOnlyWhenAbsent) {
  QTemporaryDir dir;
  QSettings former(dir.filePath("former.ini"), QSettings::IniFormat);
  QSettings current(dir.filePath("current.ini"), QSettings::IniFormat);

  EXPECT_FALSE(DefaultsMigration::migrateTileSize(current, former));  // nothing to carry over
  EXPECT_FALSE(current.contains("libraryTileSize"));

  former.setValue("libraryTileSize", 240.5);
  EXPECT_TRUE(DefaultsMigration::migrateTileSize(current, former));
  EXPECT_EQ(current.value("libraryTileSize").toDouble(), 240.5);

  former.setValue("libraryTileSize", 300);
  current.setValue("libraryTileSize", "odd but ours");
  EXPECT_FALSE(DefaultsMigration::migrateTileSize(current, former));
  EXPECT_EQ(current.value("libraryTileSize").toString(), "odd but ours");
  EXPECT_EQ(former.value("libraryTileSize").toInt(), 300);
}

}  // namespace
}  // namespace tavolune
