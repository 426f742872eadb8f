#include "app/shell/AppCommands.hpp"

#include "app/model/WindowManager.hpp"

#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

namespace tavolune {
namespace {

// The program's windows, each with a field that takes the keyboard, and
// QSettings of the test's own for the library window's geometry.
class SettingsCommand : public ::testing::Test {
 protected:
  SettingsCommand() {
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    }
    for (const char* id : {"library", "settings", "welcome"}) {
      windows.registerContent(id, [] { return new QLineEdit; });
    }
  }
  ~SettingsCommand() override {
    for (const char* id : {"library", "settings", "welcome"}) windows.close(id);
  }

  QTemporaryDir settingsDir;
  WindowManager windows;
  int quits = 0;
  AppCommands commands{windows, [this] { ++quits; }};
};

TEST_F(SettingsCommand, CtrlCommaInAnyWindowOpensTheSettingsOnGeneralAndCtrlQQuits) {
  EXPECT_EQ(commands.settings().text(), QStringLiteral("Settings…"));
  EXPECT_EQ(commands.settings().shortcut().toString(QKeySequence::NativeText), "Ctrl+,");
  EXPECT_EQ(commands.quit().shortcut().toString(QKeySequence::NativeText), "Ctrl+Q");

  QWidget popover(nullptr, Qt::Popup);
  new QLineEdit(&popover);
  struct Row {
    const char* name;
    std::function<QWidget*()> open;  // the window that gets the key
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool opensSettings;
    bool quits = false;
  };
  const Row rows[] = {
      {"library", [&] { return windows.showLibrary(); }, Qt::Key_Comma, Qt::ControlModifier, true},
      {"welcome", [&] { return windows.showWelcome(); }, Qt::Key_Comma, Qt::ControlModifier, true},
      {"settings on another tab", [&] { return windows.showSettings("display"); }, Qt::Key_Comma, Qt::ControlModifier,
       true},
      {"a comma alone", [&] { return windows.showLibrary(); }, Qt::Key_Comma, Qt::NoModifier, false},
      {"Ctrl+Shift+,", [&] { return windows.showLibrary(); }, Qt::Key_Comma, Qt::ControlModifier | Qt::ShiftModifier,
       false},
      {"Ctrl+.", [&] { return windows.showLibrary(); }, Qt::Key_Period, Qt::ControlModifier, false},
      {"Ctrl+Q in the popover",
       [&] {
         popover.show();
         return &popover;
       },
       Qt::Key_Q, Qt::ControlModifier, false, true},
      {"popover",
       [&] {
         popover.show();
         return &popover;
       },
       Qt::Key_Comma, Qt::ControlModifier, true},
      {"Ctrl+Q in the library", [&] { return windows.showLibrary(); }, Qt::Key_Q, Qt::ControlModifier, false, true},
      {"Ctrl+Q in the settings", [&] { return windows.showSettings("display"); }, Qt::Key_Q, Qt::ControlModifier,
       false, true},
      {"Ctrl+Q in the welcome window", [&] { return windows.showWelcome(); }, Qt::Key_Q, Qt::ControlModifier, false,
       true},
      {"q alone", [&] { return windows.showLibrary(); }, Qt::Key_Q, Qt::NoModifier, false},
  };
  for (const Row& row : rows) {
    windows.close("settings");
    QWidget* window = row.open();
    ASSERT_TRUE(window && window->windowHandle()) << row.name;
    QSignalSpy tabs(&windows, &WindowManager::settingsTabRequested);
    const int quitsBefore = quits;

    QTest::keyClick(window->windowHandle(), row.key, row.modifiers);
    EXPECT_EQ(quits - quitsBefore, row.quits ? 1 : 0) << row.name;
    if (row.quits) continue;

    QWidget* settings = windows.window("settings");
    if (row.opensSettings) {
      ASSERT_EQ(tabs.count(), 1) << row.name;
      EXPECT_EQ(tabs.at(0).at(0).toString(), "general") << row.name;
      EXPECT_TRUE(settings && settings->isVisible()) << row.name;
    } else {
      EXPECT_TRUE(tabs.isEmpty()) << row.name;
      EXPECT_EQ(settings, nullptr) << row.name;
    }
  }
  // The popover gives way to the window it opened.
  EXPECT_FALSE(popover.isVisible());
}

}  // namespace
}  // namespace tavolune
