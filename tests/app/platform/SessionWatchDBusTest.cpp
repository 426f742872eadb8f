#include "app/platform/linux/LinuxSessionWatch.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QDBusVariant>
#include <QSignalSpy>

#include <unistd.h>

namespace tavolune {
namespace {

using testsupport::DBusMock;
using testsupport::PrivateBus;

const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");

class SessionWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.ok());
    qunsetenv("XDG_SESSION_ID");
  }
  // logind with our session ("auto", as the watch asks for it).
  std::unique_ptr<DBusMock> startLogind(bool locked) {
    auto mock = std::make_unique<DBusMock>(bus, login1, QStringList{QStringLiteral("--template"), QStringLiteral("logind")});
    EXPECT_TRUE(mock->ready());
    bus.call(login1, QStringLiteral("/org/freedesktop/login1"), mockInterface, QStringLiteral("AddSession"),
             {QStringLiteral("auto"), QStringLiteral("seat0"), QVariant::fromValue(uint(getuid())), QStringLiteral("user"), true});
    if (locked) setLockedHint(true);
    return mock;
  }
  void setLockedHint(bool locked) {
    bus.call(login1, sessionPath, QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetLockedHint"), {locked});
  }
  void updateSession(const QString& property, const QVariant& value) {
    bus.call(login1, sessionPath, mockInterface, QStringLiteral("UpdateProperties"),
             {QStringLiteral("org.freedesktop.login1.Session"), QVariantMap{{property, value}}});
  }
  void emitOn(const QString& service, const QString& path, const QString& interface, const QString& name, bool value) {
    bus.call(service, path, mockInterface, QStringLiteral("EmitSignal"),
             {interface, name, QStringLiteral("b"), QVariantList{QVariant::fromValue(QDBusVariant(value))}});
  }

  PrivateBus bus;
};

TEST_F(SessionWatchTest, ALockThatBeganBeforeStartIsSeen) {
  auto logind = startLogind(/*locked=*/true);
  LinuxSessionWatch watch(bus.bus(), bus.bus());
  EXPECT_TRUE(QTest::qWaitFor([&] { return watch.locked(); }, 5000));
}

TEST_F(SessionWatchTest, FollowsLockedHintActiveSessionAndSleep) {
  auto logind = startLogind(false);
  LinuxSessionWatch watch(bus.bus(), bus.bus());
  QSignalSpy locks(&watch, &SessionWatch::lockedChanged);
  // Both properties read once at start.
  ASSERT_TRUE(QTest::qWaitFor([&] { return locks.count() >= 2; }, 5000));
  EXPECT_FALSE(watch.locked());

  setLockedHint(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.locked(); }, 5000));
  setLockedHint(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.locked(); }, 5000));

  // Switching to another user's session locks; switching back unlocks.
  updateSession(QStringLiteral("Active"), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.locked(); }, 5000));
  updateSession(QStringLiteral("Active"), true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.locked(); }, 5000));

  QSignalSpy sleeps(&watch, &SessionWatch::asleepChanged);
  emitOn(login1, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
         QStringLiteral("PrepareForSleep"), true);
  ASSERT_TRUE(sleeps.wait(5000));
  EXPECT_TRUE(sleeps.last().at(0).toBool());
  EXPECT_TRUE(watch.asleep());
  emitOn(login1, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
         QStringLiteral("PrepareForSleep"), false);
  ASSERT_TRUE(sleeps.wait(5000));
  EXPECT_FALSE(watch.asleep());
}

TEST_F(SessionWatchTest, ScreenSaversOfGnomeAndFreedesktopLock) {
  DBusMock gnome(bus, QStringLiteral("org.gnome.ScreenSaver"), {QStringLiteral("--template"), QStringLiteral("gnome_screensaver")});
  ASSERT_TRUE(gnome.ready());
  DBusMock fdo(bus, QStringLiteral("org.freedesktop.ScreenSaver"),
               {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver")});
  ASSERT_TRUE(fdo.ready());
  LinuxSessionWatch watch(bus.bus(), bus.bus());
  QSignalSpy locks(&watch, &SessionWatch::lockedChanged);

  emitOn(QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
         QStringLiteral("ActiveChanged"), true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.locked(); }, 5000));
  emitOn(QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
         QStringLiteral("ActiveChanged"), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.locked(); }, 5000));
  emitOn(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
         QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.locked(); }, 5000));
}

TEST_F(SessionWatchTest, NoServicesMeansUnlockedAwakeAndNoWait) {
  // Read before any answer could have come: no turn of the event loop.
  LinuxSessionWatch watch(bus.bus(), bus.bus());
  watch.refresh();
  EXPECT_FALSE(watch.locked());
  EXPECT_FALSE(watch.asleep());
}

}  // namespace
}  // namespace tavolune
