#include "app/platform/linux/LinuxPowerSources.hpp"

#include "app/desktop/PowerPolicy.hpp"
#include "app/platform/linux/DBusPropertyWatch.hpp"
#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace tavolune {
namespace {

using testsupport::DBusMock;
using testsupport::PrivateBus;

const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

class PowerSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus.ok()); }

  LinuxPowerSources::Options options(const QString& desktop = QStringLiteral("none")) {
    LinuxPowerSources::Options o;
    o.thermalRoot = sysfs.path();
    o.desktop = desktop;
    o.kdeglobals = sysfs.filePath(QStringLiteral("kdeglobals"));
    return o;
  }
  void update(const QString& service, const QString& path, const QString& interface, const QString& property,
              const QVariant& value) {
    bus.call(service, path, mockInterface, QStringLiteral("UpdateProperties"), {interface, QVariantMap{{property, value}}});
  }

  PrivateBus bus;
  QTemporaryDir sysfs;
};

TEST_F(PowerSourcesTest, FollowsBatteryAndBothPowerProfileNames) {
  DBusMock upower = DBusMock::fromTemplate(bus, QStringLiteral("org.freedesktop.UPower"), QStringLiteral("upower"),
                                           QStringLiteral(R"({"OnBattery": true})"));
  DBusMock legacy = DBusMock::fromTemplate(bus, QStringLiteral("net.hadess.PowerProfiles"),
                                           QStringLiteral("power_profiles_daemon"));
  const QString ppd = QStringLiteral("org.freedesktop.UPower.PowerProfiles");
  const QString ppdPath = QStringLiteral("/org/freedesktop/UPower/PowerProfiles");
  DBusMock current(bus, ppd, {ppd, ppdPath, ppd});
  ASSERT_TRUE(upower.ready() && legacy.ready() && current.ready());
  bus.call(ppd, ppdPath, mockInterface, QStringLiteral("AddProperty"),
           {ppd, QStringLiteral("ActiveProfile"), QVariant::fromValue(QDBusVariant(QStringLiteral("balanced")))});

  LinuxPowerSources sources(bus.bus(), options());
  // Read at start.
  ASSERT_TRUE(QTest::qWaitFor([&] { return sources.readings().onBattery; }, 5000));
  EXPECT_FALSE(sources.readings().lowPower);

  update(QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.UPower"),
         QStringLiteral("OnBattery"), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.readings().onBattery; }, 5000));

  // Either bus name reporting power-saver is Low Power Mode.
  update(QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("/net/hadess/PowerProfiles"),
         QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("ActiveProfile"), QStringLiteral("power-saver"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sources.readings().lowPower; }, 5000));
  update(QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("/net/hadess/PowerProfiles"),
         QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("ActiveProfile"), QStringLiteral("balanced"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.readings().lowPower; }, 5000));
  update(ppd, ppdPath, ppd, QStringLiteral("ActiveProfile"), QStringLiteral("power-saver"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sources.readings().lowPower; }, 5000));

  // A daemon that goes away takes its condition with it.
  current.stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.readings().lowPower; }, 5000));
}

TEST_F(PowerSourcesTest, AbsentServicesGiveAllFalseWithoutWaiting) {
  LinuxPowerSources sources(bus.bus(), options());
  QSignalSpy spy(&sources, &PowerSources::readingsChanged);
  // The thermal read lands; the D-Bus reads fail at once and set nothing.
  ASSERT_TRUE(spy.wait(5000));
  EXPECT_EQ(sources.readings(), PowerReadings{});
  // The same read answers "no owner" at once: not a time-out, nor a start.
  QObject context;
  std::optional<QDBusMessage> reply;
  callAsync(bus.bus(), QStringLiteral("org.freedesktop.UPower"), QStringLiteral("/org/freedesktop/UPower"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
            {QStringLiteral("org.freedesktop.UPower"), QStringLiteral("OnBattery")}, &context,
            [&](const QDBusMessage& m) { reply = m; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return reply.has_value(); }, 5 * DBusPropertyWatch::callTimeoutMs));
  EXPECT_EQ(reply->errorName().toStdString(), "org.freedesktop.DBus.Error.NameHasNoOwner");
}

// UPower takes the read of OnBattery and never answers. The power policy
// built over it starts and polls at once, the main thread keeps running, the
// readings keep their defaults, and the read is given up after its time-out.
TEST_F(PowerSourcesTest, AHungServiceIsGivenUpAfterTheTimeOutWithoutBlocking) {
  const QString upower = QStringLiteral("org.freedesktop.UPower");
  const QString upowerPath = QStringLiteral("/org/freedesktop/UPower");
  testsupport::SilentService hung(bus, upower, upowerPath);
  ASSERT_TRUE(hung.ready());

  // The main thread's pulse: the longest gap between ticks of a 20 ms timer.
  QElapsedTimer clock;
  clock.start();
  qint64 lastTick = 0;
  qint64 longestGap = 0;
  QTimer pulse;
  pulse.setInterval(20);
  QObject::connect(&pulse, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, clock.elapsed() - lastTick);
    lastTick = clock.elapsed();
  });
  pulse.start();

  LinuxPowerSources sources(bus.bus(), options());
  testsupport::FakeSessionWatch session;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeDisplaySource displays;
  PowerPolicy policy(session, sources, coverage, displays);
  policy.start({});
  policy.poll();
  // A read that blocked while building or polling would have stopped the
  // pulse for its whole time-out: the gap is checked below.
  const QString read = upower + QStringLiteral(" OnBattery");
  ASSERT_TRUE(QTest::qWaitFor([&] { return hung.calls().contains(read); }, 5000)) << "the service took the read";

  // The same read, through the same call, from its start to its end.
  QObject context;
  std::optional<QDBusMessage> reply;
  QElapsedTimer took;
  took.start();
  callAsync(bus.bus(), upower, upowerPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
            {upower, QStringLiteral("OnBattery")}, &context, [&](const QDBusMessage& m) { reply = m; });
  // Given up after its own time-out: well before the bus's default of 25 s.
  ASSERT_TRUE(QTest::qWaitFor([&] { return reply.has_value(); }, 5 * DBusPropertyWatch::callTimeoutMs));
  EXPECT_GE(took.elapsed(), DBusPropertyWatch::callTimeoutMs - 200);
  EXPECT_EQ(reply->type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(reply->errorName(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
  EXPECT_EQ(hung.calls().count(read), 2) << "the service took both reads and answered neither";

  policy.poll();
  EXPECT_LT(longestGap, DBusPropertyWatch::callTimeoutMs) << "the main thread waited for the read";
  EXPECT_EQ(sources.readings(), PowerReadings{});
  EXPECT_EQ(policy.state(), PowerPolicy::State{});
}

TEST_F(PowerSourcesTest, ThermalPressureIsReadOnRefresh) {
  QDir(sysfs.path()).mkpath(QStringLiteral("thermal_zone0"));
  auto write = [&](const QString& name, const QByteArray& text) {
    QFile f(sysfs.filePath(QStringLiteral("thermal_zone0/") + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  };
  write(QStringLiteral("temp"), "50000\n");
  write(QStringLiteral("trip_point_0_type"), "passive\n");
  write(QStringLiteral("trip_point_0_temp"), "90000\n");
  LinuxPowerSources sources(bus.bus(), options());
  QSignalSpy spy(&sources, &PowerSources::readingsChanged);
  ASSERT_TRUE(spy.wait(2000));
  EXPECT_FALSE(sources.readings().thermalSerious);
  write(QStringLiteral("temp"), "91000\n");
  sources.refresh();
  ASSERT_TRUE(spy.wait(2000));
  EXPECT_TRUE(sources.readings().thermalSerious);
}

TEST_F(PowerSourcesTest, GnomeAnimationSettingIsFollowed) {
  // GSettings in a key file of this test's own, before anything in this
  // process opens settings; changed by the gsettings tool in another process.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  qputenv("GSETTINGS_BACKEND", "keyfile");
  auto gsettings = [](const char* value) {
    QProcess p;
    p.start(QStringLiteral("gsettings"), {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.interface"),
                                          QStringLiteral("enable-animations"), QString::fromLatin1(value)});
    return p.waitForFinished(10000) && p.exitCode() == 0;
  };
  ASSERT_TRUE(gsettings("false"));
  LinuxPowerSources sources(bus.bus(), options(QStringLiteral("ubuntu:GNOME")));
  EXPECT_TRUE(sources.readings().reduceMotion);
  ASSERT_TRUE(gsettings("true"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.readings().reduceMotion; }, 5000));
  ASSERT_TRUE(gsettings("false"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sources.readings().reduceMotion; }, 5000));
}

TEST_F(PowerSourcesTest, KdeAnimationFactorIsFollowed) {
  QFile file(sysfs.filePath(QStringLiteral("kdeglobals")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[KDE]\nAnimationDurationFactor=0\n");
  file.close();
  LinuxPowerSources sources(bus.bus(), options(QStringLiteral("KDE")));
  EXPECT_TRUE(sources.readings().reduceMotion);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("[KDE]\nAnimationDurationFactor=0.5\n");
  file.close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sources.readings().reduceMotion; }, 5000));
}

}  // namespace
}  // namespace tavolune
