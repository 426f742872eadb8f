#include "app/desktop/PowerPolicy.hpp"
#include "app/platform/linux/LinuxPowerSources.hpp"
#include "app/platform/linux/LinuxSessionWatch.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>

namespace tavolune {
namespace {

using namespace testsupport;

// With every service present, the poll costs nothing on the bus: values
// come from signals, read once at start.
TEST(PowerPolicyOnTheBus, PollsMakeNoMethodCalls) {
  PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  const QString login1 = QStringLiteral("org.freedesktop.login1");
  DBusMock logind = DBusMock::fromTemplate(bus, login1, QStringLiteral("logind"));
  DBusMock upower = DBusMock::fromTemplate(bus, QStringLiteral("org.freedesktop.UPower"), QStringLiteral("upower"));
  DBusMock ppd = DBusMock::fromTemplate(bus, QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("power_profiles_daemon"));
  DBusMock saver = DBusMock::fromTemplate(bus, QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("gnome_screensaver"));
  ASSERT_TRUE(logind.ready() && upower.ready() && ppd.ready() && saver.ready());
  bus.call(login1, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddSession"),
           {QStringLiteral("auto"), QStringLiteral("seat0"), QVariant::fromValue(uint(getuid())), QStringLiteral("user"), true});
  qunsetenv("XDG_SESSION_ID");

  // The services' own connection, so that the test's calls are told apart.
  const QDBusConnection services = QDBusConnection::connectToBus(bus.address(), QStringLiteral("services"));
  QTemporaryDir sysfs;
  LinuxPowerSources::Options options;
  options.thermalRoot = sysfs.path();
  options.desktop = QStringLiteral("none");
  LinuxSessionWatch session(services, services);
  LinuxPowerSources sources(services, options);
  FakeWindowCoverage coverage;
  FakeDisplaySource displays;
  PowerPolicy policy(session, sources, coverage, displays);
  QSignalSpy locks(&session, &SessionWatch::lockedChanged);
  // Start-up reads: the session's two properties and the screen saver.
  ASSERT_TRUE(QTest::qWaitFor([&] { return locks.count() >= 3; }, 5000));

  QProcess monitor;
  monitor.start(QStringLiteral("dbus-monitor"), {QStringLiteral("--address"), bus.address()});
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.canReadLine(); }, 5000)) << "the monitor is listening";

  policy.start({});
  QElapsedTimer clock;
  std::vector<qint64> times;
  // A minute of polls, and a change that must still arrive.
  for (int i = 0; i < 12; ++i) {
    clock.start();
    policy.poll();
    times.push_back(clock.nsecsElapsed());
  }
  std::sort(times.begin(), times.end());
  bus.call(QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower"),
           QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("UpdateProperties"),
           {QStringLiteral("org.freedesktop.UPower"), QVariantMap{{QStringLiteral("OnBattery"), true}}});
  ASSERT_TRUE(QTest::qWaitFor([&] { policy.poll(); return policy.state().onBattery; }, 5000));

  stopProcess(monitor);
  const QString sender = QStringLiteral("sender=") + services.baseService() + u' ';
  int calls = 0;
  for (const QByteArray& line : monitor.readAllStandardOutput().split('\n')) {
    if (line.startsWith("method call") && QString::fromUtf8(line).contains(sender)) ++calls;
  }
  EXPECT_EQ(calls, 0) << "a poll reads what the signals left, never the bus";
  RecordProperty("median_poll_ns", int(times[times.size() / 2]));
  QDBusConnection::disconnectFromBus(QStringLiteral("services"));
}

}  // namespace
}  // namespace tavolune
