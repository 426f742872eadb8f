#pragma once
// Where the exhibition views plug into the grid, the selection bar and the
// artwork menu. Each hook is optional: unset, the grid accepts no drops,
// the bar has no exhibition button and the menu no exhibition items.
// GUI thread only.

#include "core/base/Uuid.hpp"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QMimeData;
class QWidget;

namespace tavolune {

class SelectionBar;

struct ExhibitionHooks {
  // Works dragged within the window (ArtworkDrag) and dropped on a tile of
  // the grid while it lists an exhibition, and the tile's work (the work to
  // insert before). Returns whether the drop was taken.
  std::function<bool(const Uuid& exhibition, const QMimeData& data, const std::string& before)> drop{};
  // The bar's exhibition control, made once per bar; it follows the
  // selection and the bar's exhibitionChanged() itself.
  std::function<QWidget*(SelectionBar& bar)> selectionButton{};
  // Adds the exhibition items for the targets to the artwork menu; current
  // is the exhibition the library is filtered to.
  std::function<void(QMenu& menu, const std::vector<std::string>& targets, const std::optional<Uuid>& current)>
      menuItems{};
};

}  // namespace tavolune
