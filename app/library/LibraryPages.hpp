#pragma once
// What the library window's detail column shows for a sidebar item: the
// page's title, subtitle and empty hint, the filter the item sets, and the
// stored tile size. Pure functions of their arguments except the tile-size
// preference (QSettings). GUI thread only.

#include "app/library/SidebarItem.hpp"
#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"

#include <QString>
#include <QVariant>

#include <optional>

namespace tavolune::LibraryPages {

// The filter a new window starts from: the collection, nothing else.
LibraryFilter initialFilter();

// The item's criterion on top of `filter`: the wallet, scope, hidden-only,
// selection-only, recent-only and exhibition criteria are reset, then the
// item's own is set; search, chain, platform, kind, artist, collection,
// format and screen aspect stay. No item counts as the collection.
LibraryFilter applying(const std::optional<SidebarItem>& item, LibraryFilter filter);

QString title(const LibraryState& state, const std::optional<SidebarItem>& item);
// "Syncing…" while any wallet syncs, else the filter's count ("1 artwork",
// "0 artworks").
QString subtitle(const LibraryListing& listing, const LibraryFilter& filter, bool syncing);
QString artworkCount(std::size_t n);
// Only My Selection has one.
std::optional<QString> emptyHint(const std::optional<SidebarItem>& item);

// The grid's tile size: "libraryTileSize", 110...320, 170 by default.
inline constexpr double minTileSize = 110;
inline constexpr double maxTileSize = 320;
inline constexpr double defaultTileSize = 170;
inline constexpr const char* tileSizeKey = "libraryTileSize";
// A stored value that is missing, not a number or not finite gives the
// default; others are clamped into range, so a bad value never collapses
// the grid.
double clampedTileSize(const QVariant& stored);
double tileSize();
void setTileSize(double size);

// The sidebar's width as the user left it: "librarySidebarWidth", at least
// the sidebar's minimum, its ideal width by default.
inline constexpr const char* sidebarWidthKey = "librarySidebarWidth";
int sidebarWidth();
void setSidebarWidth(int width);

}  // namespace tavolune::LibraryPages
