#include "app/platform/linux/XfceWallpaper.hpp"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QRegularExpression>

#include <algorithm>
#include <set>

namespace tavolune {
namespace {

constexpr int callTimeoutMs = 3000;
const QString channel = QStringLiteral("xfce4-desktop");
// xfdesktop's "zoomed": fills the monitor, keeps the aspect ratio.
constexpr int zoomedStyle = 5;

QVariant unwrap(QVariant v) {
  while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>()) {
    v = v.value<QDBusVariant>().variant();
  }
  return v;
}

}  // namespace

XfceWallpaper::XfceWallpaper(SystemLog& log, QDBusConnection bus, QObject* parent)
    : WallpaperBackend(log, parent), bus_(std::move(bus)) {}

QString XfceWallpaper::monitorPath(const Display& display) {
  const QString name = display.connector.isEmpty() ? QString::number(display.number) : display.connector;
  return QStringLiteral("/backdrop/screen0/monitor") + name;
}

QDBusMessage XfceWallpaper::xfconf(const QString& method, const QVariantList& args) const {
  auto message = QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
                                                QStringLiteral("org.xfce.Xfconf"), method);
  message.setArguments(args);
  return message;
}

void XfceWallpaper::call(QDBusMessage message, Reply then) {
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, callTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, then](QDBusPendingCallWatcher*) {
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
      then(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage(), {});
      return;
    }
    then(std::nullopt, reply.arguments().isEmpty() ? QVariant() : unwrap(reply.arguments().front()));
  });
}

void XfceWallpaper::apply(const WallpaperRequest& request, Done finish) {
  const QString base = monitorPath(request.display);
  const QString file = request.file;
  auto owner = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                              QStringLiteral("/org/freedesktop/DBus"),
                                              QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
  owner << QStringLiteral("org.xfce.xfdesktop");
  call(owner, [this, base, file, finish](std::optional<QString> error, const QVariant& running) {
    if (error) {
      finish(QStringLiteral("the session bus did not answer (%1)").arg(*error));
      return;
    }
    if (!running.toBool()) {
      finish(QStringLiteral("xfdesktop is not running"));
      return;
    }
    // Workspaces: those the window manager counts and those already set up.
    call(xfconf(QStringLiteral("GetProperty"), {QStringLiteral("xfwm4"), QStringLiteral("/general/workspace_count")}),
         [this, base, file, finish](std::optional<QString> countError, const QVariant& count) {
           const int workspaces = countError ? 1 : std::clamp(count.toInt(), 1, 64);
           call(xfconf(QStringLiteral("GetAllProperties"), {channel, base}),
                [this, base, file, finish, workspaces](std::optional<QString>, const QVariant& all) {
                  std::set<int> numbers;
                  for (int i = 0; i < workspaces; ++i) numbers.insert(i);
                  static const QRegularExpression workspace(QStringLiteral("/workspace(\\d+)/"));
                  const auto existing = qdbus_cast<QVariantMap>(all);
                  for (auto it = existing.begin(); it != existing.end(); ++it) {
                    const auto m = workspace.match(it.key());
                    if (m.hasMatch()) numbers.insert(m.captured(1).toInt());
                  }
                  std::vector<std::pair<QString, QVariant>> properties;
                  for (int n : numbers) {
                    const QString ws = base + QStringLiteral("/workspace%1/").arg(n);
                    properties.emplace_back(ws + QStringLiteral("image-style"), QVariant(zoomedStyle));
                    properties.emplace_back(ws + QStringLiteral("last-image"), QVariant(file));
                  }
                  setAll(std::move(properties), 0, finish);
                });
         });
  });
}

void XfceWallpaper::read(const Display& display, int workspace, Shown finish) {
  const QString property = monitorPath(display) + QStringLiteral("/workspace%1/last-image").arg(workspace);
  call(xfconf(QStringLiteral("GetProperty"), {channel, property}),
       [finish](std::optional<QString> error, const QVariant& value) {
         const QString file = !error && value.typeId() == QMetaType::QString ? value.toString() : QString();
         finish(file.isEmpty() ? std::nullopt : std::optional(file));
       });
}

void XfceWallpaper::setAll(std::vector<std::pair<QString, QVariant>> properties, std::size_t index, Done finish) {
  if (index == properties.size()) {
    confirm(std::move(properties), 0, finish);
    return;
  }
  const auto message = xfconf(QStringLiteral("SetProperty"), {channel, properties[index].first,
                                                               QVariant::fromValue(QDBusVariant(properties[index].second))});
  call(message,
       [this, properties = std::move(properties), index, finish](std::optional<QString> error, const QVariant&) {
         if (error) {
           finish(QStringLiteral("xfconf refused %1 (%2)").arg(properties[index].first, *error));
           return;
         }
         setAll(properties, index + 1, finish);
       });
}

void XfceWallpaper::confirm(std::vector<std::pair<QString, QVariant>> properties, std::size_t index, Done finish) {
  if (index == properties.size()) {
    finish(std::nullopt);
    return;
  }
  const auto message = xfconf(QStringLiteral("GetProperty"), {channel, properties[index].first});
  call(message,
       [this, properties = std::move(properties), index, finish](std::optional<QString> error, const QVariant& got) {
         if (error || got.toString() != properties[index].second.toString()) {
           finish(QStringLiteral("xfconf did not keep %1").arg(properties[index].first));
           return;
         }
         confirm(properties, index + 1, finish);
       });
}

}  // namespace tavolune
