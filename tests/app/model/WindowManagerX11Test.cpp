#include "app/model/WindowManager.hpp"
#include "app/shell/AppCommands.hpp"
#include "app/style/Theme.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

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

// The window's WM_STATE (1 normal, 3 iconic, 0 none) and whether it shows,
// as the X server has them.
std::pair<uint32_t, bool> xState(testsupport::XClient& x, xcb_window_t w) {
  xcb_connection_t* c = x.connection();
  auto* p = xcb_get_property_reply(c, xcb_get_property(c, 0, w, x.atom("WM_STATE"), XCB_ATOM_ANY, 0, 2), nullptr);
  const uint32_t state =
      p && xcb_get_property_value_length(p) >= 4 ? *static_cast<uint32_t*>(xcb_get_property_value(p)) : 0;
  auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
  const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(p);
  std::free(a);
  return {state, viewable};
}

TEST(WindowManagerX11, EveryWayBringsAMinimisedWindowBackAsItWasUnderAWindowManager) {
  QTemporaryDir dir;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  QProcess openbox;
  openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
  struct Stop {
    QProcess& p;
    ~Stop() { testsupport::stopProcess(p); }
  } stop{openbox};
  testsupport::XClient x(qgetenv("DISPLAY"));
  // Up once it manages a window of the test's own.
  const xcb_window_t probe = x.createWindow({0, 0, 10, 10});
  xcb_map_window(x.connection(), probe);
  ASSERT_TRUE(QTest::qWaitFor([&] { return xState(x, probe).first == 1; }, 15000)) << "openbox runs";

  WindowManager manager;
  AppCommands commands(manager, {});
  for (const char* id : {"library", "settings", "welcome"}) manager.registerContent(id, [] { return new QWidget; });
  QWidget* library = manager.showLibrary();
  QWidget* settings = manager.showSettings();
  QWidget* welcome = manager.showWelcome();
  for (QWidget* w : {library, settings, welcome}) ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  library->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return library->isMaximized() && library->width() == library->screen()->size().width(); }, 10000));
  const std::map<QWidget*, QRect> where{
      {library, library->geometry()}, {settings, settings->geometry()}, {welcome, welcome->geometry()}};
  // The second start, "Library…" and the sync warning call showLibrary();
  // the popover's picture with its work; Ctrl+, and the popover's and the
  // sidebar's "Settings…" showSettings().
  const struct {
    const char* way;
    QWidget* window;
    std::function<void()> bring;
  } rows[] = {
      {"second start, Library…, sync warning", library, [&] { manager.showLibrary(); }},
      {"popover picture", library, [&] { manager.showLibrary(QStringLiteral("w1")); }},
      {"Ctrl+,", settings, [&] { QTest::keyClick(welcome, Qt::Key_Comma, Qt::ControlModifier); }},
      {"Settings…", settings, [&] { manager.showSettings(QStringLiteral("display")); }},
      {"welcome", welcome, [&] { manager.showWelcome(); }},
  };
  for (const auto& row : rows) {
    // Minimised as the window manager's title bar does it, asked again
    // while openbox still plays the last window's coming back.
    xcb_client_message_event_t iconify{};
    iconify.response_type = XCB_CLIENT_MESSAGE, iconify.format = 32, iconify.type = x.atom("WM_CHANGE_STATE");
    iconify.window = xcb_window_t(row.window->winId()), iconify.data.data32[0] = 3;  // IconicState
    ASSERT_TRUE(QTest::qWaitFor([&] {
      xcb_send_event(x.connection(), 0, x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                     reinterpret_cast<const char*>(&iconify));
      QTest::qWait(100);
      return xState(x, row.window->winId()) == std::pair<uint32_t, bool>{3, false} && row.window->isMinimized();
    }, 10000)) << row.way;
    row.bring();
    const std::pair<uint32_t, bool> normal{1, true};
    EXPECT_TRUE(QTest::qWaitFor([&] { return xState(x, row.window->winId()) == normal; }, 10000)) << row.way;
    EXPECT_TRUE(QTest::qWaitFor([&] { return row.window->geometry() == where.at(row.window); }, 5000))
        << row.way << " at its size and place";
  }
  EXPECT_TRUE(library->isMaximized());
  EXPECT_EQ(manager.window("settings"), settings) << "no second window";
  for (const char* id : {"library", "settings", "welcome"}) manager.close(id);
}

}  // namespace
}  // namespace tavolune
