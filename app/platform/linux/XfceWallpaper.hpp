#pragma once
// Desktop picture on XFCE: xfconf properties of xfdesktop's channel, per
// monitor and workspace, over org.xfce.Xfconf. Only while xfdesktop runs
// (its bus name has an owner): without it a property set would show nothing.
// Each property is read back. Reading a display's picture reads the
// workspace's last-image. GUI thread only; every D-Bus call is asynchronous
// with a short time-out.

#include "app/platform/WallpaperBackend.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

namespace tavolune {

class XfceWallpaper final : public WallpaperBackend {
  Q_OBJECT
 public:
  explicit XfceWallpaper(SystemLog& log, QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject* parent = nullptr);
  QString name() const override { return QStringLiteral("XFCE"); }

  // "/backdrop/screen0/monitorDP-1", or by number without a connector name.
  static QString monitorPath(const Display& display);

 protected:
  void apply(const WallpaperRequest& request, Done finish) override;
  void read(const Display& display, int workspace, Shown finish) override;

 private:
  using Reply = std::function<void(std::optional<QString> error, QVariant value)>;
  void call(QDBusMessage message, Reply then);
  QDBusMessage xfconf(const QString& method, const QVariantList& args) const;
  void setAll(std::vector<std::pair<QString, QVariant>> properties, std::size_t index, Done finish);
  void confirm(std::vector<std::pair<QString, QVariant>> properties, std::size_t index, Done finish);

  QDBusConnection bus_;
};

}  // namespace tavolune
