#include "app/platform/linux/StatusNotifierTrayWatch.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QSignalSpy>

namespace tavolune {
namespace {

// A panel's StatusNotifier watcher: its own connection to the private bus,
// so that dropping the connection is the panel going away.
class Panel {
 public:
  explicit Panel(const QString& address)
      : name_(QUuid::createUuid().toString(QUuid::WithoutBraces)),
        bus_(QDBusConnection::connectToBus(address, name_)) {
    registered = bus_.registerService(QString::fromLatin1(StatusNotifierTrayWatch::watcherService));
  }
  ~Panel() { QDBusConnection::disconnectFromBus(name_); }
  bool registered = false;

 private:
  QString name_;
  QDBusConnection bus_;
};

TEST(StatusNotifierTrayWatch, FollowsThePanelComingGoingAndRestarting) {
  testsupport::PrivateBus bus;
  ASSERT_TRUE(bus.ok());

  // A panel already running is found by the first question.
  auto panel = std::make_unique<Panel>(bus.address());
  ASSERT_TRUE(panel->registered);
  StatusNotifierTrayWatch early(bus.bus());
  QSignalSpy earlyChanges(&early, &TrayHostWatch::availableChanged);
  ASSERT_TRUE(earlyChanges.wait(5000));
  EXPECT_TRUE(early.available());

  panel.reset();  // the panel quits
  ASSERT_TRUE(earlyChanges.count() > 1 || earlyChanges.wait(5000));
  EXPECT_FALSE(early.available());

  // A watch started before any panel (an early login) learns of the one
  // that starts later.
  StatusNotifierTrayWatch late(bus.bus());
  QSignalSpy lateChanges(&late, &TrayHostWatch::availableChanged);
  EXPECT_FALSE(lateChanges.wait(300));
  EXPECT_FALSE(late.available());
  panel = std::make_unique<Panel>(bus.address());
  ASSERT_TRUE(lateChanges.wait(5000));
  EXPECT_TRUE(late.available());
  EXPECT_EQ(lateChanges.count(), 1);
}

}  // namespace
}  // namespace tavolune
