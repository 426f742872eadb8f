#pragma once
// The library window's "Filters" button: narrows the grid by format,
// collection, media kind, platform and chain through the window's filter
// (nothing is saved), names the criteria in force in its help, and resets
// them. What the sidebar chose (wallet, scope, exhibition page, hidden,
// My Selection, recent) and the search text are not its criteria and
// survive the reset. GUI thread only.

#include "core/model/LibraryFilter.hpp"

#include <QToolButton>

#include <string>
#include <vector>

class QMenu;

namespace tavolune {

class LibraryState;
class LibraryWindow;

class FiltersMenu final : public QToolButton {
  Q_OBJECT
 public:
  static constexpr std::size_t maxCollections = 200;

  explicit FiltersMenu(LibraryWindow& window, QWidget* parent = nullptr);

  // The filter without this menu's criteria.
  static LibraryFilter baseFilter(const LibraryFilter& filter);
  static bool isActive(const LibraryFilter& filter) { return !(filter == baseFilter(filter)); }
  // The names of the criteria in force, joined with " · ".
  static QString activeLabel(const LibraryFilter& filter);
  static QString help(const LibraryFilter& filter);
  // The wallet's collection names, each once, in natural order (all of them).
  static std::vector<std::string> collections(const LibraryState& state, const LibraryFilter& filter);

  // Builds the menu's content for the current filter (also on each opening).
  void rebuild();

 private:
  void refreshButton();
  template <class T>
  void addPicker(const QString& title, const QString& all, std::optional<T> LibraryFilter::* field,
                 const std::vector<std::pair<T, QString>>& rows);

  LibraryWindow& window_;
  QMenu* menu_;
};

}  // namespace tavolune
