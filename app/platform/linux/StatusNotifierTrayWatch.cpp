#include "app/platform/linux/StatusNotifierTrayWatch.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>

namespace tavolune {

namespace {
constexpr int callTimeoutMs = 2000;
}

StatusNotifierTrayWatch::StatusNotifierTrayWatch(QDBusConnection sessionBus, QObject* parent)
    : TrayHostWatch(parent), bus_(std::move(sessionBus)) {
  const QString service = QString::fromLatin1(watcherService);
  if (bus_.isConnected()) {
    watcher_ = new QDBusServiceWatcher(service, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
              // A restarted host drops our icon: report the gap so it is made again.
              if (!oldOwner.isEmpty()) set(false);
              if (!newOwner.isEmpty()) set(true);
            });
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << service;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(ask, callTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
      call->deleteLater();
      QDBusPendingReply<bool> reply = *call;
      const bool owned = !reply.isError() && reply.value();
      // Without a watcher an XEmbed tray may still take icons.
      if (owned || QSystemTrayIcon::isSystemTrayAvailable()) set(true);
    });
  } else if (QSystemTrayIcon::isSystemTrayAvailable()) {
    available_ = true;
  }
}

void StatusNotifierTrayWatch::set(bool available) {
  if (available == available_) return;
  available_ = available;
  emit availableChanged(available);
}

}  // namespace tavolune
