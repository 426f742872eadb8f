#include "app/platform/linux/GnomeIdleClock.hpp"

#include "app/platform/linux/DBusPropertyWatch.hpp"

#include <QDBusMessage>

namespace tavolune {

namespace {
const QString mutter = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString monitorPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
}  // namespace

GnomeIdleClock::GnomeIdleClock(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent), bus_(std::move(sessionBus)) {
  if (!bus_.isConnected()) return;
  bus_.connect(mutter, monitorPath, mutter, QStringLiteral("WatchFired"), this, SLOT(onWatchFired(uint)));
  request();
}

GnomeIdleClock::~GnomeIdleClock() {
  if (!activeWatch_ || !bus_.isConnected()) return;
  auto message = QDBusMessage::createMethodCall(mutter, monitorPath, mutter, QStringLiteral("RemoveWatch"));
  message.setArguments({activeWatch_});
  message.setAutoStartService(false);
  bus_.send(message);
}

double GnomeIdleClock::secondsSinceLastInput() {
  if (!pending_ && (!idleMs_ || since_.elapsed() >= refreshAfterMs)) request();
  if (!idleMs_) return 0;
  return double(*idleMs_ + quint64(since_.elapsed())) / 1000.0;
}

void GnomeIdleClock::request() {
  if (!bus_.isConnected()) return;
  pending_ = true;
  const int generation = generation_;
  callAsync(bus_, mutter, monitorPath, mutter, QStringLiteral("GetIdletime"), {}, this,
            [this, generation](const QDBusMessage& reply) {
              pending_ = false;
              if (generation != generation_) return;
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              setIdle(reply.arguments().constFirst().toULongLong());
              // Once the user is away, learn the moment of return without asking.
              if (*idleMs_ >= 1000 && !activeWatch_ && !addingWatch_) watchForReturn();
            });
}

void GnomeIdleClock::watchForReturn() {
  addingWatch_ = true;
  const int generation = generation_;
  callAsync(bus_, mutter, monitorPath, mutter, QStringLiteral("AddUserActiveWatch"), {}, this,
            [this, generation](const QDBusMessage& reply) {
              addingWatch_ = false;
              // Fired already (the user came back before this reply): the
              // monitor has dropped the one-shot watch.
              if (generation != generation_) return;
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              activeWatch_ = reply.arguments().constFirst().toUInt();
            });
}

void GnomeIdleClock::onWatchFired(uint id) {
  if (id != activeWatch_ && !addingWatch_) return;
  activeWatch_ = 0;
  ++generation_;
  setIdle(0);
}

void GnomeIdleClock::setIdle(quint64 ms) {
  idleMs_ = ms;
  since_.start();
}

}  // namespace tavolune
