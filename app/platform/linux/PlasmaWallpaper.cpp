#include "app/platform/linux/PlasmaWallpaper.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>

namespace tavolune {
namespace {

constexpr int callTimeoutMs = 5000;
const QString marker = QStringLiteral("tavolune-set:");

// A JavaScript string literal.
QString jsString(const QString& s) {
  const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

}  // namespace

PlasmaWallpaper::PlasmaWallpaper(SystemLog& log, QDBusConnection bus, QObject* parent)
    : WallpaperBackend(log, parent), bus_(std::move(bus)) {}

QString PlasmaWallpaper::script(const WallpaperRequest& request) {
  const QRect g = request.display.geometry;
  const double scale = request.display.scale > 0 ? request.display.scale : 1.0;
  // Plasma may give the screen in device or in scaled pixels.
  const QString wanted = QStringLiteral("[[%1,%2,%3,%4],[%1,%2,%5,%6]]")
                             .arg(g.x())
                             .arg(g.y())
                             .arg(g.width())
                             .arg(g.height())
                             .arg(qRound(g.width() / scale))
                             .arg(qRound(g.height() / scale));
  const QString uri = QUrl::fromLocalFile(request.file).toString(QUrl::FullyEncoded);
  return QStringLiteral(
             "var wanted = %1;\n"
             "var set = 0;\n"
             "desktops().forEach(function (d) {\n"
             "  if (d.screen < 0) return;\n"
             "  var g = screenGeometry(d.screen);\n"
             "  var hit = wanted.some(function (w) {\n"
             "    return g.x == w[0] && g.y == w[1] && g.width == w[2] && g.height == w[3];\n"
             "  });\n"
             "  if (!hit) return;\n"
             "  d.wallpaperPlugin = \"org.kde.image\";\n"
             "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
             "  d.writeConfig(\"Image\", %2);\n"
             "  d.writeConfig(\"FillMode\", 2);\n"
             "  d.writeConfig(\"Color\", %3);\n"
             "  set += 1;\n"
             "});\n"
             "print(\"%4\" + set);\n")
      .arg(wanted, jsString(uri), jsString(request.fill.name(QColor::HexRgb)), marker);
}

void PlasmaWallpaper::apply(const WallpaperRequest& request, Done finish) {
  auto message = QDBusMessage::createMethodCall(QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                                                QStringLiteral("org.kde.PlasmaShell"),
                                                QStringLiteral("evaluateScript"));
  message << script(request);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, callTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, finish](QDBusPendingCallWatcher*) {
    watcher->deleteLater();
    QDBusPendingReply<QString> reply = *watcher;
    if (reply.isError()) {
      finish(QStringLiteral("Plasma did not take the picture: %1").arg(reply.error().message()));
      return;
    }
    static const QRegularExpression count(marker + QStringLiteral("(\\d+)"));
    const auto match = count.match(reply.value());
    if (!match.hasMatch() || match.captured(1).toInt() == 0) {
      finish(QStringLiteral("Plasma has no desktop on this display"));
      return;
    }
    finish(std::nullopt);
  });
}

}  // namespace tavolune
