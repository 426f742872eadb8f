#pragma once
// Desktop components of a test's own: a D-Bus daemon that serves as both
// session and system bus, python3-dbusmock services on it, and an Xvfb
// server. Each waits for readiness by polling with a deadline. GUI thread.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

namespace tavolune::testsupport {

inline constexpr int readyTimeoutMs = 15000;

inline void stopProcess(QProcess& p) {
  if (p.state() == QProcess::NotRunning) return;
  p.terminate();
  if (!p.waitForFinished(3000)) {
    p.kill();
    p.waitForFinished(3000);
  }
}

class PrivateBus {
 public:
  PrivateBus() {
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    daemon_.start();
    if (!daemon_.waitForStarted(readyTimeoutMs)) return;
    (void)QTest::qWaitFor([this] { return daemon_.canReadLine() || daemon_.state() == QProcess::NotRunning; }, readyTimeoutMs);
    address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    name_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
  }
  ~PrivateBus() {
    bus_.reset();
    QDBusConnection::disconnectFromBus(name_);
    stopProcess(daemon_);
  }
  bool ok() const { return bus_ && bus_->isConnected(); }
  QDBusConnection bus() const { return *bus_; }
  QString address() const { return address_; }

  // Blocking call, for driving the mocks.
  QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    auto m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    return bus_->call(m, QDBus::Block, 5000);
  }

 private:
  QProcess daemon_;
  QString address_, name_;
  std::unique_ptr<QDBusConnection> bus_;
};

// A python3-dbusmock service: a template, or a bare object (name, path, interface).
class DBusMock {
 public:
  DBusMock(const PrivateBus& bus, const QString& busName, const QStringList& arguments) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock")} + arguments);
    auto* iface = bus.bus().interface();
    ready_ = QTest::qWaitFor([&] { return iface->isServiceRegistered(busName).value() || process_.state() == QProcess::NotRunning; },
                             readyTimeoutMs) &&
             process_.state() != QProcess::NotRunning;
  }
  static DBusMock fromTemplate(const PrivateBus& bus, const QString& busName, const QString& name,
                               const QString& parameters = {}) {
    QStringList args{QStringLiteral("--template"), name};
    if (!parameters.isEmpty()) args << QStringLiteral("-p") << parameters;
    return DBusMock(bus, busName, args);
  }
  ~DBusMock() { stopProcess(process_); }
  DBusMock(DBusMock&& other) noexcept = delete;
  bool ready() const { return ready_; }
  void stop() { stopProcess(process_); }

 private:
  QProcess process_;
  bool ready_ = false;
};

// A service that takes the bus name and accepts every Properties.Get on
// the object but never answers: a hung daemon. Each call it took is one
// line "interface property" on its output, read by calls().
class SilentService {
 public:
  SilentService(const PrivateBus& bus, const QString& busName, const QString& path) {
    static const char* script = R"py(
import sys
import dbus, dbus.bus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
address, name, path = sys.argv[1:4]
bus = dbus.bus.BusConnection(address)
held = []
class Silent(dbus.service.Object):
    @dbus.service.method('org.freedesktop.DBus.Properties', in_signature='ss', out_signature='v',
                         async_callbacks=('answer', 'fail'))
    def Get(self, interface, prop, answer, fail):
        held.append(answer)
        print(interface, prop, flush=True)
Silent(bus, path)
owner = dbus.service.BusName(name, bus)
GLib.MainLoop().run()
)py";
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral("-c"), QString::fromUtf8(script), bus.address(), busName, path});
    auto* iface = bus.bus().interface();
    ready_ = QTest::qWaitFor([&] { return iface->isServiceRegistered(busName).value() || process_.state() == QProcess::NotRunning; },
                             readyTimeoutMs) &&
             process_.state() != QProcess::NotRunning;
  }
  ~SilentService() { stopProcess(process_); }
  SilentService(SilentService&&) noexcept = delete;
  bool ready() const { return ready_; }
  // The calls it took so far.
  QStringList calls() {
    while (process_.canReadLine()) calls_ << QString::fromUtf8(process_.readLine().trimmed());
    return calls_;
  }

 private:
  QProcess process_;
  bool ready_ = false;
  QStringList calls_;
};

// An Xvfb of the test's own, so that changing its monitors or its root
// window disturbs no other test.
class PrivateXServer {
 public:
  // `more`: further server arguments, say "-extension" and a name.
  explicit PrivateXServer(const QString& size = QStringLiteral("3840x1080x24"), const QStringList& more = {}) {
    server_.setProgram(QStringLiteral("Xvfb"));
    // -displayfd 1: the server prints its display number once it accepts clients.
    server_.setArguments(QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                     QStringLiteral("0"), size, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                     QStringLiteral("-noreset")} +
                         more);
    server_.start();
    if (!server_.waitForStarted(readyTimeoutMs)) return;
    (void)QTest::qWaitFor([this] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; }, readyTimeoutMs);
    const QByteArray number = server_.readLine().trimmed();
    if (!number.isEmpty()) display_ = QStringLiteral(":") + QString::fromLatin1(number);
  }
  ~PrivateXServer() { stopProcess(server_); }
  bool ok() const { return !display_.isEmpty(); }
  QString display() const { return display_; }

  // Runs xrandr against this server; true on success.
  bool xrandr(const QStringList& args) const {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xrandr"), args);
    return p.waitForFinished(readyTimeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  }

 private:
  QProcess server_;
  QString display_;
};

// Points the X clients that read DISPLAY (not Qt's own connection) at a
// private server while it lives: the root picture and desktop windows of the
// shared display belong to the tests running beside this one.
class PrivateRootDisplay {
 public:
  explicit PrivateRootDisplay(const QString& size = QStringLiteral("1920x1080x24"), const QStringList& more = {})
      : server_(size, more), saved_(qgetenv("DISPLAY")) {
    if (server_.ok()) qputenv("DISPLAY", server_.display().toUtf8());
  }
  ~PrivateRootDisplay() { qputenv("DISPLAY", saved_); }
  bool ok() const { return server_.ok(); }
  QString display() const { return server_.display(); }

 private:
  PrivateXServer server_;
  QByteArray saved_;
};

}  // namespace tavolune::testsupport
