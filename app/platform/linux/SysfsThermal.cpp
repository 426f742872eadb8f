#include "app/platform/linux/SysfsThermal.hpp"

#include <QDir>
#include <QFile>

#include <limits>
#include <optional>

namespace tavolune {

namespace {

std::optional<QByteArray> readLine(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray line = file.readLine(64).trimmed();
  if (line.isEmpty()) return std::nullopt;
  return line;
}

std::optional<long long> readNumber(const QString& path) {
  auto line = readLine(path);
  if (!line) return std::nullopt;
  bool ok = false;
  const long long value = line->toLongLong(&ok);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace

bool thermalPressure(const QString& root) {
  const QDir dir(root);
  for (const QString& zone : dir.entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString base = dir.filePath(zone) + u'/';
    const auto temperature = readNumber(base + QStringLiteral("temp"));
    if (!temperature) continue;
    long long lowest = std::numeric_limits<long long>::max();
    for (int i = 0; i < 64; ++i) {
      const QString trip = base + QStringLiteral("trip_point_%1_").arg(i);
      const auto type = readLine(trip + QStringLiteral("type"));
      if (!type) {
        if (!QFile::exists(trip + QStringLiteral("type"))) break;
        continue;
      }
      if (*type != "passive" && *type != "hot" && *type != "critical") continue;
      const auto at = readNumber(trip + QStringLiteral("temp"));
      if (at && *at > 0 && *at < lowest) lowest = *at;
    }
    if (lowest != std::numeric_limits<long long>::max() && *temperature >= lowest) return true;
  }
  return false;
}

}  // namespace tavolune
