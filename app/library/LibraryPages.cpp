#include "app/library/LibraryPages.hpp"

#include "app/library/LibrarySidebar.hpp"

#include "app/qt/Convert.hpp"

#include <QSettings>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace tavolune::LibraryPages {

LibraryFilter initialFilter() {
  LibraryFilter f;
  f.scope = LibraryScope::collection;
  return f;
}

LibraryFilter applying(const std::optional<SidebarItem>& item, LibraryFilter f) {
  f.walletID.reset();
  f.hiddenOnly = false;
  f.onDesktopOnly = false;
  f.scope.reset();
  f.recentOnly = false;
  f.exhibitionID.reset();
  using K = SidebarItem::Kind;
  switch (item ? item->kind : K::all) {
    case K::all: f.scope = LibraryScope::collection; break;
    case K::works: f.scope = LibraryScope::works; break;
    case K::onDesktop: f.onDesktopOnly = true; break;
    case K::recent: f.recentOnly = true; break;
    case K::hidden: f.hiddenOnly = true; break;
    case K::exhibition: f.exhibitionID = item->id; break;
    case K::wallet: f.walletID = item->id; break;
    case K::manageWallets: break;
  }
  return f;
}

QString title(const LibraryState& state, const std::optional<SidebarItem>& item) {
  using K = SidebarItem::Kind;
  switch (item ? item->kind : K::all) {
    case K::works: return QStringLiteral("My Works");
    case K::onDesktop: return QStringLiteral("My Selection");
    case K::recent: return QStringLiteral("Recently Shown");
    case K::hidden: return QStringLiteral("Hidden Artworks");
    case K::manageWallets: return QStringLiteral("Wallets");
    case K::exhibition: {
      const Exhibition* e = state.exhibition(item->id);
      return e ? qt::str(e->title) : QStringLiteral("Exhibition");
    }
    case K::wallet:
      for (const auto& w : state.wallets) {
        if (w.id == item->id) return qt::str(w.label);
      }
      return QStringLiteral("Wallet");
    case K::all: break;
  }
  return QStringLiteral("Collection");
}

QString artworkCount(std::size_t n) {
  return QString::number(n) + (n == 1 ? QStringLiteral(" artwork") : QStringLiteral(" artworks"));
}

QString subtitle(const LibraryListing& listing, const LibraryFilter& filter, bool syncing) {
  if (syncing) return QStringLiteral("Syncing\u2026");
  return artworkCount(listing.count(filter));
}

std::optional<QString> emptyHint(const std::optional<SidebarItem>& item) {
  if (item && item->kind == SidebarItem::Kind::onDesktop) {
    return QStringLiteral(
        "Your selection is empty, so the whole collection takes turns on the desktop. Click \u2295 on an "
        "artwork to add it.");
  }
  return std::nullopt;
}

double clampedTileSize(const QVariant& stored) {
  bool ok = false;
  const double v = stored.toDouble(&ok);
  if (!stored.isValid() || !ok || !std::isfinite(v)) return defaultTileSize;
  return std::clamp(v, minTileSize, maxTileSize);
}

double tileSize() { return clampedTileSize(QSettings().value(QLatin1String(tileSizeKey))); }

void setTileSize(double size) { QSettings().setValue(QLatin1String(tileSizeKey), clampedTileSize(size)); }

int sidebarWidth() {
  bool ok = false;
  const int stored = QSettings().value(QLatin1String(sidebarWidthKey)).toInt(&ok);
  return ok ? std::max(stored, LibrarySidebar::minWidth) : LibrarySidebar::idealWidth;
}

void setSidebarWidth(int width) {
  QSettings().setValue(QLatin1String(sidebarWidthKey), std::max(width, LibrarySidebar::minWidth));
}

}  // namespace tavolune::LibraryPages
