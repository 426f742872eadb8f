#include "app/platform/linux/XfceWallpaper.hpp"

#include "tests/app/platform/WallpaperAnswer.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;
using testsupport::WallpaperAnswer;

// The real xfconfd on the test's private session bus.
struct Xfconfd {
  QTemporaryDir home;
  QProcess process;
  Xfconfd() {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path());
    process.setProcessEnvironment(env);
    QDBusServiceWatcher watcher("org.xfce.Xfconf", QDBusConnection::sessionBus(),
                                QDBusServiceWatcher::WatchForRegistration);
    QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
    process.start("/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd", {});
    // Ours, with its own settings folder, before a call could start another.
    started = registered.wait(10000);
  }
  bool started = false;
  ~Xfconfd() {
    process.terminate();
    process.waitForFinished(3000);
  }
  static QVariant call(const QString& method, const QVariantList& args) {
    auto m = QDBusMessage::createMethodCall("org.xfce.Xfconf", "/org/xfce/Xfconf", "org.xfce.Xfconf", method);
    m.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(m, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) return {};
    QVariant v = reply.arguments().front();
    if (v.userType() == qMetaTypeId<QDBusVariant>()) v = v.value<QDBusVariant>().variant();
    return v;
  }
};

TEST(XfceWallpaper, SetsEveryWorkspaceOfTheMonitorOnlyWhileXfdesktopRuns) {
  Xfconfd xfconfd;
  ASSERT_TRUE(xfconfd.started);
  Xfconfd::call("SetProperty", {"xfwm4", "/general/workspace_count", QVariant::fromValue(QDBusVariant(3))});
  ASSERT_EQ(Xfconfd::call("GetProperty", {"xfwm4", "/general/workspace_count"}).toInt(), 3);

  FakeSystemLog log;
  XfceWallpaper backend(log);
  WallpaperAnswer answer;
  Display d;
  d.key = "DP";
  d.connector = "DP-1";
  d.geometry = QRect(0, 0, 1920, 1080);
  const QString file = "/tmp/Wallpapers/DP-0123456789abcdef.jpg";

  backend.setPicture({d, {d}, file, Qt::black}, &answer.box, answer.done());
  auto outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(*outcome, "xfdesktop is not running");
  EXPECT_FALSE(Xfconfd::call("GetProperty", {"xfce4-desktop", "/backdrop/screen0/monitorDP-1/workspace0/last-image"})
                   .isValid());

  // xfdesktop's bus name, held by a stand-in.
  QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-xfdesktop");
  ASSERT_TRUE(desktop.registerService("org.xfce.xfdesktop"));
  backend.setPicture({d, {d}, file, Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  for (int ws = 0; ws < 3; ++ws) {
    const QString base = QString("/backdrop/screen0/monitorDP-1/workspace%1/").arg(ws);
    EXPECT_EQ(Xfconfd::call("GetProperty", {"xfce4-desktop", base + "last-image"}).toString(), file) << ws;
    EXPECT_EQ(Xfconfd::call("GetProperty", {"xfce4-desktop", base + "image-style"}).toInt(), 5) << ws;
  }
  EXPECT_EQ(log.lines().size(), 1u);
  // Read back per workspace: ours, and another program's on workspace 1.
  EXPECT_EQ(testsupport::shownBy(backend, d, 2), file);
  Xfconfd::call("SetProperty", {"xfce4-desktop", "/backdrop/screen0/monitorDP-1/workspace1/last-image",
                                QVariant::fromValue(QDBusVariant("/elsewhere.jpg"))});
  EXPECT_EQ(testsupport::shownBy(backend, d, 1), "/elsewhere.jpg");
  desktop.unregisterService("org.xfce.xfdesktop");
  QDBusConnection::disconnectFromBus("fake-xfdesktop");
}

}  // namespace
}  // namespace tavolune
