#include "app/platform/linux/DBusPropertyWatch.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace tavolune {

namespace {
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
}

void callAsync(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
               const QString& method, const QVariantList& args, QObject* context,
               std::function<void(const QDBusMessage& reply)> done) {
  if (!bus.isConnected()) return;
  auto message = QDBusMessage::createMethodCall(service, path, interface, method);
  message.setArguments(args);
  // A missing service answers at once instead of being started (or waited for).
  message.setAutoStartService(false);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, DBusPropertyWatch::callTimeoutMs), context);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                   [watcher, done = std::move(done)](QDBusPendingCallWatcher*) {
                     watcher->deleteLater();
                     done(watcher->reply());
                   });
}

DBusPropertyWatch::DBusPropertyWatch(QDBusConnection bus, QString service, QString path, QString interface,
                                     QString property, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      service_(std::move(service)),
      path_(std::move(path)),
      interface_(std::move(interface)),
      property_(std::move(property)) {}

void DBusPropertyWatch::start() {
  if (!bus_.isConnected() || watcher_) return;
  bus_.connect(service_, path_, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
               SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
  watcher_ = new QDBusServiceWatcher(service_, bus_,
                                     QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
                                     this);
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { read(); });
  connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
    ++generation_;
    set(QVariant());
  });
  read();
}

void DBusPropertyWatch::read() {
  const int generation = ++generation_;
  callAsync(bus_, service_, path_, propertiesInterface, QStringLiteral("Get"), {interface_, property_}, this,
            [this, generation](const QDBusMessage& reply) {
              // A signal or a newer read since this call went out wins.
              if (generation != generation_) return;
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              set(reply.arguments().constFirst().value<QDBusVariant>().variant());
            });
}

void DBusPropertyWatch::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                            const QStringList& invalidated) {
  if (interface != interface_) return;
  if (auto it = changed.find(property_); it != changed.end()) {
    ++generation_;
    set(*it);
  } else if (invalidated.contains(property_)) {
    read();
  }
}

void DBusPropertyWatch::set(const QVariant& value) {
  value_ = value;
  emit valueChanged(value_);
}

}  // namespace tavolune
