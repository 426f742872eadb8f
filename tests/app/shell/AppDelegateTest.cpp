#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "app/shell/AppDelegate.hpp"
#include "app/shell/QuitSignals.hpp"
#include "core/persistence/LibraryStore.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/fakes/FakeTrayHostWatch.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gmock/gmock.h>

#include <csignal>
#include <unistd.h>

namespace tavolune {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

QByteArray bytes(const std::filesystem::path& file) {
  QFile f(QString::fromStdString(file.string()));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A data folder, QSettings of the test's own, windows whose views record
// the order they open in, and hooks that record what launch ran.
class Launch : public ::testing::Test {
 protected:
  Launch() {
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    }
    for (const char* id : {"library", "settings", "welcome", "menu"}) {
      windows.registerContent(id, [this, id] {
        opened.push_back(id);
        return new QLabel(id);
      });
    }
    hooks.prepareRules = [this] { ran.push_back("rules"); };
    hooks.startDesktop = [this] { ran.push_back("desktop"); };
    hooks.shutdownDesktop = [this] { ran.push_back("shutdown"); };
    hooks.refreshScreens = [this] { ran.push_back("screens"); };
    hooks.showScreenSaver = [this] { ran.push_back("saver"); };
    hooks.touchUpdater = [this] { ran.push_back("updater"); };
  }
  ~Launch() override {
    for (const char* id : {"library", "settings", "welcome", "menu"}) windows.close(id);
  }

  std::filesystem::path store() const { return std::filesystem::path(dataDir.path().toStdString()) / "library.json"; }

  std::unique_ptr<AppModel> model() {
    AppModel::Options o;
    o.storeURL = store();
    o.cacheDirectory = std::filesystem::path(dataDir.path().toStdString()) / "Media";
    o.timings.saveDelay = 20ms;
    return std::make_unique<AppModel>(std::move(o));
  }

  QTemporaryDir settingsDir;
  QTemporaryDir dataDir;
  WindowManager windows;
  AppDelegate::Hooks hooks;
  std::vector<std::string> opened;
  std::vector<std::string> ran;
};

TEST_F(Launch, FirstRunOpensNothingBeforeTheLibraryIsLoadedThenTheWelcome) {
  auto m = model();
  AppDelegate delegate(*m, windows, nullptr, {}, hooks);
  QSignalSpy launched(&delegate, &AppDelegate::launched);
  delegate.applicationDidFinishLaunching();
  // The load's result comes back through the event loop, not before.
  EXPECT_FALSE(m->isLoaded());
  EXPECT_FALSE(windows.hasOpenWindows());
  EXPECT_THAT(ran, ElementsAre("rules"));

  ASSERT_TRUE(launched.wait(10000));
  EXPECT_TRUE(m->isLoaded());
  EXPECT_THAT(ran, ElementsAre("rules", "desktop", "updater"));
  EXPECT_THAT(opened, ElementsAre("welcome"));
  ASSERT_TRUE(windows.window("welcome"));
  EXPECT_EQ(windows.window("welcome")->size(), QSize(600, 580));
  EXPECT_FALSE(std::filesystem::exists(store()));  // nothing to save on a first run
}

TEST_F(Launch, ASaveAskedForBeforeTheLoadLeavesTheFileAsItWas) {
  LibraryState saved;
  saved.settings.hasCompletedOnboarding = true;
  saved.settings.rotationInterval = 900;
  LibraryStore(store()).save(saved);
  const QByteArray before = bytes(store());
  ASSERT_FALSE(before.isEmpty());

  auto m = model();
  AppDelegate delegate(*m, windows, nullptr, {}, hooks);
  QSignalSpy launched(&delegate, &AppDelegate::launched);
  QSignalSpy written(m.get(), &AppModel::saved);
  delegate.applicationDidFinishLaunching();
  // A control used while the library loads: the empty library it sees must
  // not be written over the real one.
  seedLibrary(*m, [](LibraryState& s) { s.settings.rotationInterval = 60; });
  m->scheduleSave();

  ASSERT_TRUE(launched.wait(10000));
  EXPECT_EQ(m->state().settings.rotationInterval, 900);
  EXPECT_FALSE(written.wait(200));
  EXPECT_EQ(bytes(store()), before);
  // Onboarding done: no window at all, the desktop and updater started.
  EXPECT_FALSE(windows.hasOpenWindows());
  EXPECT_THAT(ran, ElementsAre("rules", "desktop", "updater"));
}

TEST_F(Launch, PreviewOpensItsFourWindowsInOrderAndStartsNothing) {
  LibraryState saved;
  saved.settings.hasCompletedOnboarding = true;
  const Wallet owner = testsupport::wallet();
  testsupport::hold(saved, owner, {testsupport::work("1", "First")});
  LibraryStore(store()).save(saved);

  struct Case {
    QStringList arguments;
    std::vector<std::string> hooks;
    QString tab;
  };
  const std::vector<Case> cases{
      {{"tavolune", "--ui-preview", "--settings-tab=display"}, {"rules", "screens"}, "display"},
      {{"tavolune", "--screen-saver", "--ui-preview", "--settings-tab=Display"}, {"rules", "screens", "saver"},
       "general"},
  };
  for (const Case& c : cases) {
    opened.clear();
    ran.clear();
    auto m = model();
    AppDelegate delegate(*m, windows, nullptr, LaunchSwitches::from(c.arguments), hooks);
    QSignalSpy launched(&delegate, &AppDelegate::launched);
    QSignalSpy selected(&windows, &WindowManager::librarySelectionRequested);
    QSignalSpy tabs(&windows, &WindowManager::settingsTabRequested);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(launched.wait(10000));

    EXPECT_THAT(opened, ElementsAre("library", "settings", "welcome", "menu"));
    EXPECT_EQ(ran, c.hooks);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected[0][0].toString().toStdString(), testsupport::work("1", "First").id);
    ASSERT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs[0][0].toString(), c.tab);
    const std::vector<std::pair<const char*, QSize>> sizes{
        {"library", {1180, 760}}, {"settings", {580, 640}}, {"welcome", {600, 580}}, {"menu", {320, 640}}};
    for (const auto& [id, size] : sizes) {
      ASSERT_TRUE(windows.window(id)) << id;
      EXPECT_EQ(windows.window(id)->size(), size) << id;
    }
    for (const char* id : {"library", "settings", "welcome", "menu"}) windows.close(id);
  }
}

TEST_F(Launch, ReopenOpensTheLibraryAndTheMenuOnlyWithoutATray) {
  auto m = model();
  testsupport::FakeTrayHostWatch tray;
  AppDelegate delegate(*m, windows, &tray, {}, hooks);
  delegate.applicationShouldHandleReopen();
  EXPECT_THAT(opened, ElementsAre("library", "menu"));
  windows.close("menu");
  windows.close("library");

  tray.set(true);
  opened.clear();
  delegate.applicationShouldHandleReopen();
  EXPECT_THAT(opened, ElementsAre("library"));
}

// In a child process: the library loads, a setting changes and its save is
// pending for a minute when SIGTERM arrives. Only the quit path may write
// it: the process then ends without running any destructor.
[[noreturn]] void terminateDuringAPendingSave(const std::filesystem::path& store) {
  AppModel::Options o;
  o.storeURL = store;
  o.cacheDirectory = store.parent_path() / "Media";
  o.timings.saveDelay = 60s;
  auto* m = new AppModel(std::move(o));
  auto* windows = new WindowManager;
  auto* delegate = new AppDelegate(*m, *windows, nullptr, {}, {});
  auto* quitSignals = new QuitSignals;
  delegate->quitOn(*quitSignals);
  QObject::connect(delegate, &AppDelegate::launched, m, [m] {
    seedLibrary(*m, [](LibraryState& s) { s.settings.rotationInterval = 1234; });
    m->scheduleSave();
    ::kill(::getpid(), SIGTERM);
  });
  delegate->applicationDidFinishLaunching();
  const int code = QApplication::exec();
  std::_Exit(quitSignals->isActive() && code == 0 ? 42 : 1);
}

TEST(QuitDeathTest, SigtermWritesThePendingSave) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this test again from the start: it must use our folder.
  static constexpr const char* variable = "TAVOLUNE_TEST_QUIT_FOLDER";
  QTemporaryDir dir;
  if (qEnvironmentVariableIsEmpty(variable)) qputenv(variable, dir.path().toUtf8());
  const std::filesystem::path store = std::filesystem::path(qgetenv(variable).toStdString()) / "library.json";
  LibraryState saved;
  saved.settings.hasCompletedOnboarding = true;
  LibraryStore(store).save(saved);

  EXPECT_EXIT(terminateDuringAPendingSave(store), ::testing::ExitedWithCode(42), "");
  EXPECT_EQ(LibraryStore(store).load().settings.rotationInterval, 1234);
  qunsetenv(variable);
}

}  // namespace
}  // namespace tavolune
