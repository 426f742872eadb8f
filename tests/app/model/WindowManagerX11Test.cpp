#include "app/model/WindowManager.hpp"
#include "app/style/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

// The window as the X server shows it.
QImage onScreen(QWidget& window) {
  QCoreApplication::processEvents();
  return window.screen()->grabWindow(window.winId()).toImage();
}

int greyAt(QWidget& window, QPoint at) {
  const QImage shot = onScreen(window);
  return shot.isNull() ? -1 : qGray(shot.pixel(at));
}

TEST(WindowManagerX11, WallBackgroundFollowingThePaletteCentredFirstThenWhereLeft) {
  QTemporaryDir dir;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  const QPalette light = QApplication::palette();
  ASSERT_FALSE(Theme::isDark(light));
  // The application's palette is the process's: put back whatever happens.
  struct Restore {
    QPalette palette;
    ~Restore() { QApplication::setPalette(palette); }
  } restore{light};

  WindowManager manager;
  manager.setBackground([](const QPalette& p) { return Theme::wallColor(p); });
  manager.registerContent("settings", [] { return new QLabel("Settings"); });
  manager.registerContent("library", [] { return new QLabel("Library"); });
  QWidget* settings = manager.showSettings();
  ASSERT_TRUE(settings);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
  const QRect available = settings->screen()->availableGeometry();
  EXPECT_LE((settings->geometry().center() - available.center()).manhattanLength(), 2) << "centred the first time";
  // 0.965 and 0.105 white.
  EXPECT_TRUE(QTest::qWaitFor([&] { return greyAt(*settings, {4, 4}) == 246; }, 5000)) << greyAt(*settings, {4, 4});
  onScreen(*settings).save(QDir::temp().filePath(QStringLiteral("tavolune-wall-light.png")));

  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(40, 40, 40));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  EXPECT_TRUE(QTest::qWaitFor([&] { return greyAt(*settings, {4, 4}) == 27; }, 5000)) << greyAt(*settings, {4, 4});
  onScreen(*settings).save(QDir::temp().filePath(QStringLiteral("tavolune-wall-dark.png")));
  QWidget* library = manager.showLibrary();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(library));
  EXPECT_TRUE(QTest::qWaitFor([&] { return greyAt(*library, {4, 4}) == 27; }, 5000)) << "opened in the dark";
  QApplication::setPalette(light);
  EXPECT_TRUE(QTest::qWaitFor([&] { return greyAt(*settings, {4, 4}) == 246; }, 5000)) << "back to light";
  EXPECT_TRUE(QTest::qWaitFor([&] { return greyAt(*library, {4, 4}) == 246; }, 5000)) << "every window";

  // Moved, closed and opened again: where it was left, fixed at its size.
  settings->move(available.topLeft() + QPoint(30, 40));
  EXPECT_TRUE(QTest::qWaitFor([&] { return settings->pos() == available.topLeft() + QPoint(30, 40); }, 5000));
  manager.close("settings");
  QWidget* again = manager.showSettings();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(again));
  EXPECT_EQ(again->pos(), available.topLeft() + QPoint(30, 40));
  EXPECT_EQ(again->size(), QSize(580, 640));
  EXPECT_EQ(again->minimumSize(), again->maximumSize());
  manager.close("settings");
  manager.close("library");
}

}  // namespace
}  // namespace tavolune
