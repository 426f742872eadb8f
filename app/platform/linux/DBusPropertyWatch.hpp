#pragma once
// Follows one property of one D-Bus object: read once asynchronously (short
// time-out, never starting the service), then kept by PropertiesChanged; read
// again when the service comes back. GUI thread only; never blocks.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace tavolune {

class DBusPropertyWatch final : public QObject {
  Q_OBJECT
 public:
  static constexpr int callTimeoutMs = 2000;

  DBusPropertyWatch(QDBusConnection bus, QString service, QString path, QString interface, QString property,
                    QObject* parent = nullptr);
  // Subscribes and reads. Does nothing on a bus that is not connected.
  void start();
  // Invalid until read, and again once the service is gone.
  QVariant value() const { return value_; }

 signals:
  // After every read and every signal naming the property.
  void valueChanged(const QVariant& value);

 private slots:
  void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

 private:
  void read();
  void set(const QVariant& value);

  QDBusConnection bus_;
  QString service_, path_, interface_, property_;
  QVariant value_;
  QDBusServiceWatcher* watcher_ = nullptr;
  int generation_ = 0;
};

// An asynchronous method call with a short time-out that never starts a
// service; the reply reaches `done` on the GUI thread unless `context` is gone.
void callAsync(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
               const QString& method, const QVariantList& args, QObject* context,
               std::function<void(const QDBusMessage& reply)> done);

}  // namespace tavolune
