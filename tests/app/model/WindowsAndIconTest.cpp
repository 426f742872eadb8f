#include "app/model/MenuBarIcon.hpp"
#include "app/model/WindowManager.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

// QSettings in a folder of the test's own.
class TemporarySettings {
 public:
  TemporarySettings() {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
  }

 private:
  QTemporaryDir dir_;
};

TEST(WindowManager, OneWindowPerIdentifierAtItsSizeDeletedWhenClosed) {
  TemporarySettings settings;
  WindowManager manager;
  int built = 0;
  for (const char* id : {"library", "settings", "welcome"}) {
    manager.registerContent(id, [&built] {
      ++built;
      return new QLabel("content");
    });
  }
  EXPECT_EQ(manager.show("menu"), nullptr);  // no factory: nothing opens
  EXPECT_EQ(manager.show("unknown"), nullptr);

  QSignalSpy tabs(&manager, &WindowManager::settingsTabRequested);
  QWidget* settingsWindow = manager.showSettings("display");
  ASSERT_TRUE(settingsWindow);
  EXPECT_EQ(manager.showSettings("general"), settingsWindow);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(tabs.count(), 2);
  EXPECT_EQ(settingsWindow->windowTitle(), "Tavolune Settings");
  EXPECT_EQ(settingsWindow->size(), QSize(580, 640));
  EXPECT_EQ(settingsWindow->minimumSize(), settingsWindow->maximumSize());

  QWidget* library = manager.showLibrary();
  ASSERT_TRUE(library);
  EXPECT_EQ(library->windowTitle(), "Tavolune");
  EXPECT_EQ(library->size(), QSize(1180, 760));
  library->resize(900, 600);

  QSignalSpy last(&manager, &WindowManager::lastWindowClosed);
  QSignalSpy gone(library, &QObject::destroyed);
  manager.close("library");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(gone.count(), 1);
  EXPECT_EQ(manager.window("library"), nullptr);
  EXPECT_TRUE(last.isEmpty());  // the settings are still open
  manager.close("settings");
  EXPECT_EQ(last.count(), 1);
  manager.close("settings");  // not open: nothing happens

  // A new library window, at the size it was left.
  QWidget* again = manager.showLibrary();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->size(), QSize(900, 600));
  EXPECT_EQ(built, 3);
  manager.close("library");
}

TEST(WindowManager, PlacesAreKeptWhileWindowsStayOpen) {
  TemporarySettings settings;
  const auto saved = [] { return QSettings().value(QStringLiteral("tavolune.library")).toByteArray(); };
  const auto placeOf = [](const QByteArray& geometry) {
    QWidget probe;
    probe.restoreGeometry(geometry);
    return probe.geometry();
  };
  QRect left;
  QPointer<QWidget> library;
  {
    WindowManager manager;
    manager.registerContent("library", [] { return new QLabel("content"); });
    library = manager.showLibrary();
    ASSERT_TRUE(library);
    // Resized and left open: written a moment later.
    library->resize(900, 600);
    EXPECT_TRUE(QTest::qWaitFor([&] { return placeOf(saved()).size() == QSize(900, 600); }, 5000));
    // Moved just before the program ends: written as the manager goes.
    library->move(library->pos() + QPoint(25, 15));
    left = library->geometry();
  }
  EXPECT_EQ(placeOf(saved()), left);
  delete library;
}

TEST(MenuBarIcon, DrawnAtEverySizeIdleAndPlaying) {
  const QColor ink(0xF2, 0xF2, 0xF2);
  for (int size : MenuBarIcon::pixelSizes) {
    const QImage idle = MenuBarIcon::draw(false, size, ink);
    const QImage playing = MenuBarIcon::draw(true, size, ink);
    ASSERT_EQ(idle.size(), QSize(size, size));
    const double s = size / 18.0, top = (size - 16 * s) / 2;
    auto at = [&](const QImage& image, double x, double y) {
      return image.pixelColor(int(x * s), int(top + y * s));
    };
    EXPECT_GT(at(idle, 9, 1.8).alpha(), 200) << size;  // the rail
    EXPECT_EQ(at(idle, 9, 1.8).red(), 0xF2) << size;
    EXPECT_EQ(at(idle, 0.2, 15.5).alpha(), 0) << size;  // outside the frame
    // Above the hill, beside the sun: empty when idle, filled when playing.
    EXPECT_LT(at(idle, 11.2, 8.3).alpha(), 60) << size;
    EXPECT_GT(at(playing, 11.2, 8.3).alpha(), 200) << size;
    EXPECT_GT(at(idle, 10.6, 12.2).alpha(), 200) << size;  // the hill
  }
  EXPECT_EQ(MenuBarIcon::inkFor(QPalette(Qt::black)), QColor(0xF2, 0xF2, 0xF2));
  EXPECT_EQ(MenuBarIcon::inkFor(QPalette(Qt::white)), QColor(0x20, 0x20, 0x20));
  EXPECT_EQ(MenuBarIcon::idle().availableSizes().size(), static_cast<qsizetype>(MenuBarIcon::pixelSizes.size()));
}

}  // namespace
}  // namespace tavolune
