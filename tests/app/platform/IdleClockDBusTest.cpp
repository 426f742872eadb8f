#include "app/platform/linux/GnomeIdleClock.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QDBusVariant>

namespace tavolune {
namespace {

using testsupport::DBusMock;
using testsupport::PrivateBus;

const QString mutter = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString monitorPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

// GNOME's idle monitor: GetIdletime answers `idleMs`, watches get id 7.
class GnomeIdleMonitor {
 public:
  explicit GnomeIdleMonitor(PrivateBus& bus) : bus_(bus), mock_(bus, mutter, {mutter, monitorPath, mutter}) {
    addMethod(QStringLiteral("AddUserActiveWatch"), {}, QStringLiteral("u"),
              QStringLiteral("self.watches = getattr(self, 'watches', 0) + 1\nret = 7"));
    addMethod(QStringLiteral("WatchesAdded"), {}, QStringLiteral("u"), QStringLiteral("ret = getattr(self, 'watches', 0)"));
    addMethod(QStringLiteral("RemoveWatch"), QStringLiteral("u"), {}, {});
    setIdle(0);
  }
  bool ready() const { return mock_.ready(); }
  void setIdle(quint64 ms) {
    addMethod(QStringLiteral("GetIdletime"), {}, QStringLiteral("t"), QStringLiteral("ret = %1").arg(ms));
  }
  void userReturns() {
    bus_.call(mutter, monitorPath, mockInterface, QStringLiteral("EmitSignal"),
              {mutter, QStringLiteral("WatchFired"), QStringLiteral("u"), QVariantList{QVariant::fromValue(QDBusVariant(7u))}});
  }
  int watchesAdded() {
    const QDBusMessage reply = bus_.call(mutter, monitorPath, mutter, QStringLiteral("WatchesAdded"));
    return reply.arguments().isEmpty() ? -1 : int(reply.arguments().constFirst().toUInt());
  }

 private:
  void addMethod(const QString& name, const QString& in, const QString& out, const QString& code) {
    bus_.call(mutter, monitorPath, mockInterface, QStringLiteral("AddMethod"), {mutter, name, in, out, code});
  }
  PrivateBus& bus_;
  DBusMock mock_;
};

TEST(GnomeIdleClock, FollowsTheMonitorAndResetsWhenTheUserReturns) {
  PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  GnomeIdleMonitor monitor(bus);
  ASSERT_TRUE(monitor.ready());
  monitor.setIdle(42000);

  GnomeIdleClock clock(bus.bus());
  // Read at start; afterwards the reply's age is added, and no more.
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.secondsSinceLastInput() >= 42.0; }, 5000));
  const double reading = clock.secondsSinceLastInput();
  EXPECT_LT(reading, 2 * 42.0) << "the reading is counted once, then only its age";
  // Away for a while: a watch for the return is set.
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.watchesAdded() == 1; }, 5000));

  // The monitor still says 42 s: only the watch can bring the count down.
  monitor.userReturns();
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.secondsSinceLastInput() < 1.0; }, 5000));
}

}  // namespace
}  // namespace tavolune
