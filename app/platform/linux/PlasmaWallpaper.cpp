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
const QString shownMarker = QStringLiteral("tavolune-shows:");

// A JavaScript string literal.
QString jsString(const QString& s) {
  const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Script text that runs `body` on every desktop (`d`) of the display's screen.
QString forEachDesktop(const Display& display, const QString& body) {
  const QRect g = display.geometry;
  const double scale = display.scale > 0 ? display.scale : 1.0;
  // Plasma may give the screen in device or in scaled pixels.
  const QString wanted = QStringLiteral("[[%1,%2,%3,%4],[%1,%2,%5,%6]]")
                             .arg(g.x())
                             .arg(g.y())
                             .arg(g.width())
                             .arg(g.height())
                             .arg(qRound(g.width() / scale))
                             .arg(qRound(g.height() / scale));
  return QStringLiteral(
             "var wanted = %1;\n"
             "desktops().forEach(function (d) {\n"
             "  if (d.screen < 0) return;\n"
             "  var g = screenGeometry(d.screen);\n"
             "  var hit = wanted.some(function (w) {\n"
             "    return g.x == w[0] && g.y == w[1] && g.width == w[2] && g.height == w[3];\n"
             "  });\n"
             "  if (!hit) return;\n"
             "%2"
             "});\n")
      .arg(wanted, body);
}

}  // namespace

PlasmaWallpaper::PlasmaWallpaper(SystemLog& log, QDBusConnection bus, QObject* parent)
    : WallpaperBackend(log, parent), bus_(std::move(bus)) {}

QString PlasmaWallpaper::script(const WallpaperRequest& request) {
  const QString uri = QUrl::fromLocalFile(request.file).toString(QUrl::FullyEncoded);
  const QString body = QStringLiteral(
                           "  d.wallpaperPlugin = \"org.kde.image\";\n"
                           "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
                           "  d.writeConfig(\"Image\", %1);\n"
                           "  d.writeConfig(\"FillMode\", 2);\n"
                           "  d.writeConfig(\"Color\", %2);\n"
                           "  set += 1;\n")
                           .arg(jsString(uri), jsString(request.fill.name(QColor::HexRgb)));
  return QStringLiteral("var set = 0;\n") + forEachDesktop(request.display, body) +
         QStringLiteral("print(\"%1\" + set);\n").arg(marker);
}

QString PlasmaWallpaper::readScript(const Display& display) {
  // One image when every desktop there shows the same, else none.
  const QString body = QStringLiteral(
      "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
      "  var image = d.wallpaperPlugin == \"org.kde.image\" ? String(d.readConfig(\"Image\", \"\")) : \"\";\n"
      "  if (shown === null) shown = image;\n"
      "  else if (shown != image) same = false;\n");
  return QStringLiteral("var shown = null;\nvar same = true;\n") + forEachDesktop(display, body) +
         QStringLiteral("print(\"%1\" + (same && shown !== null ? shown : \"\"));\n").arg(shownMarker);
}

QDBusMessage PlasmaWallpaper::evaluate(const QString& script) const {
  auto message = QDBusMessage::createMethodCall(QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                                                QStringLiteral("org.kde.PlasmaShell"),
                                                QStringLiteral("evaluateScript"));
  message << script;
  return message;
}

void PlasmaWallpaper::apply(const WallpaperRequest& request, Done finish) {
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(evaluate(script(request)), callTimeoutMs), this);
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

void PlasmaWallpaper::read(const Display& display, int, Shown finish) {
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(evaluate(readScript(display)), callTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, finish](QDBusPendingCallWatcher*) {
    watcher->deleteLater();
    QDBusPendingReply<QString> reply = *watcher;
    const QString output = reply.isError() ? QString() : reply.value();
    const auto at = output.indexOf(shownMarker);
    const QString image = at < 0 ? QString() : output.mid(at + shownMarker.size()).section(QLatin1Char('\n'), 0, 0);
    // Plasma keeps a file URL, or a path where someone wrote one.
    const QString path = image.startsWith(QLatin1Char('/')) ? image : QUrl(image).toLocalFile();
    finish(path.isEmpty() ? std::nullopt : std::optional(path));
  });
}

}  // namespace tavolune
