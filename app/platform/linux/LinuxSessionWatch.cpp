#include "app/platform/linux/LinuxSessionWatch.hpp"

#include "app/platform/linux/DBusPropertyWatch.hpp"
#include "app/platform/linux/Login1.hpp"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>

#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace tavolune {

namespace {
const QString login1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString fdoSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString fdoSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString gnomeSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString gnomeSaverPath = QStringLiteral("/org/gnome/ScreenSaver");
}  // namespace

// DPMS through a connection of our own; absent where the server lacks it.
struct LinuxSessionWatch::Dpms {
  xcb_connection_t* connection = nullptr;

  explicit Dpms(const QString& display) {
    const QByteArray name = display.toLocal8Bit();
    connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
      close();
      return;
    }
    const auto* extension = xcb_get_extension_data(connection, &xcb_dpms_id);
    if (!extension || !extension->present) {
      close();
      return;
    }
    auto* capable = xcb_dpms_capable_reply(connection, xcb_dpms_capable(connection), nullptr);
    const bool ok = capable && capable->capable;
    std::free(capable);
    if (!ok) close();
  }
  ~Dpms() { close(); }
  void close() {
    if (connection) xcb_disconnect(connection);
    connection = nullptr;
  }
  // Whether DPMS is on and has put the monitors in standby, suspend or off.
  bool displaysOff() const {
    if (!connection) return false;
    auto* info = xcb_dpms_info_reply(connection, xcb_dpms_info(connection), nullptr);
    const bool off = info && info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    std::free(info);
    return off;
  }
};

LinuxSessionWatch::LinuxSessionWatch(QDBusConnection systemBus, QDBusConnection sessionBus, QString x11Display,
                                     QObject* parent)
    : SessionWatch(parent), system_(std::move(systemBus)), session_(std::move(sessionBus)) {
  if (!x11Display.isEmpty() || qEnvironmentVariableIsSet("DISPLAY")) dpms_ = std::make_unique<Dpms>(x11Display);
  displaysOff_ = dpms_ && dpms_->displaysOff();

  if (system_.isConnected()) {
    system_.connect(login1::service, login1::path, login1::manager, QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(bool)));
    // logind may start (or restart) after us: find the session again then.
    auto* watcher = new QDBusServiceWatcher(login1::service, system_, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &LinuxSessionWatch::findSession);
    findSession();
  }
  if (session_.isConnected()) {
    session_.connect(fdoSaver, fdoSaverPath, fdoSaver, QStringLiteral("ActiveChanged"), this,
                     SLOT(onFreedesktopSaver(bool)));
    session_.connect(gnomeSaver, gnomeSaverPath, gnomeSaver, QStringLiteral("ActiveChanged"), this,
                     SLOT(onGnomeSaver(bool)));
    readSaver(fdoSaver, fdoSaverPath, &freedesktopSaver_);
    readSaver(gnomeSaver, gnomeSaverPath, &gnomeSaver_);
  }
}

LinuxSessionWatch::~LinuxSessionWatch() = default;

bool LinuxSessionWatch::locked() const {
  const QVariant active = active_ ? active_->value() : QVariant();
  const bool inactive = active.isValid() && !active.toBool();
  const bool hinted = lockedHint_ && lockedHint_->value().toBool();
  return hinted || inactive || freedesktopSaver_ || gnomeSaver_;
}

void LinuxSessionWatch::findSession() {
  // Our own session when we have one; else logind's choice of the user's
  // graphical session.
  QString id = qEnvironmentVariable("XDG_SESSION_ID");
  if (id.isEmpty()) id = QStringLiteral("auto");
  callAsync(system_, login1::service, login1::path, login1::manager, QStringLiteral("GetSession"), {id}, this,
            [this](const QDBusMessage& reply) {
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              const QString path = reply.arguments().constFirst().value<QDBusObjectPath>().path();
              if (path.isEmpty()) return;
              delete lockedHint_;
              delete active_;
              lockedHint_ =
                  new DBusPropertyWatch(system_, login1::service, path, login1Session, QStringLiteral("LockedHint"), this);
              active_ = new DBusPropertyWatch(system_, login1::service, path, login1Session, QStringLiteral("Active"), this);
              connect(lockedHint_, &DBusPropertyWatch::valueChanged, this, &LinuxSessionWatch::reportLock);
              connect(active_, &DBusPropertyWatch::valueChanged, this, &LinuxSessionWatch::reportLock);
              lockedHint_->start();
              active_->start();
            });
}

void LinuxSessionWatch::readSaver(const QString& service, const QString& path, bool* into) {
  const int seen = saverSignals_;
  callAsync(session_, service, path, service, QStringLiteral("GetActive"), {}, this,
            [this, into, seen](const QDBusMessage& reply) {
              // A signal that arrived meanwhile is newer than this answer.
              if (seen != saverSignals_) return;
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              *into = reply.arguments().constFirst().toBool();
              reportLock();
            });
}

void LinuxSessionWatch::reportLock() { emit lockedChanged(locked()); }

void LinuxSessionWatch::onFreedesktopSaver(bool active) {
  ++saverSignals_;
  freedesktopSaver_ = active;
  reportLock();
}

void LinuxSessionWatch::onGnomeSaver(bool active) {
  ++saverSignals_;
  gnomeSaver_ = active;
  reportLock();
}

void LinuxSessionWatch::onPrepareForSleep(bool start) {
  preparingForSleep_ = start;
  emit asleepChanged(asleep());
}

void LinuxSessionWatch::refresh() {
  if (!dpms_) return;
  const bool off = dpms_->displaysOff();
  if (off == displaysOff_) return;
  displaysOff_ = off;
  emit asleepChanged(asleep());
}

}  // namespace tavolune
