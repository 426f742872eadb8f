#pragma once
// Desktop picture on KDE Plasma: a script for org.kde.PlasmaShell's
// evaluateScript that sets the image of every desktop whose screen has the
// display's geometry. The script prints how many it set; none is a failure.
// Another script reads those desktops' image back.
// GUI thread only; the D-Bus call is asynchronous with a short time-out.

#include "app/platform/WallpaperBackend.hpp"

#include <QDBusConnection>
#include <QDBusMessage>

namespace tavolune {

class PlasmaWallpaper final : public WallpaperBackend {
  Q_OBJECT
 public:
  explicit PlasmaWallpaper(SystemLog& log, QDBusConnection bus = QDBusConnection::sessionBus(),
                           QObject* parent = nullptr);
  QString name() const override { return QStringLiteral("KDE Plasma"); }

  static QString script(const WallpaperRequest& request);
  static QString readScript(const Display& display);

 protected:
  void apply(const WallpaperRequest& request, Done finish) override;
  void read(const Display& display, int workspace, Shown finish) override;

 private:
  QDBusMessage evaluate(const QString& script) const;
  QDBusConnection bus_;
};

}  // namespace tavolune
