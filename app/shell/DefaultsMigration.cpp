#include "app/shell/DefaultsMigration.hpp"

namespace tavolune::DefaultsMigration {

bool migrateTileSize(QSettings& current, const QSettings& former) {
  if (current.contains(QLatin1String(tileSizeKey))) return false;
  if (!former.contains(QLatin1String(tileSizeKey))) return false;
  current.setValue(QLatin1String(tileSizeKey), former.value(QLatin1String(tileSizeKey)));
  return true;
}

bool migrateTileSize() {
  QSettings current(QStringLiteral("Tavolune"), QStringLiteral("Tavolune"));
  const QSettings former{QLatin1String(formerName), QLatin1String(formerName)};
  return migrateTileSize(current, former);
}

}  // namespace tavolune::DefaultsMigration
