#pragma once
// Filling and arranging exhibitions from the grid: the exhibition entries
// of an artwork's context menu, the selection bar's exhibition control,
// and the reorder a drop on a tile of an exhibition's page makes. Works
// enter an exhibition in the grid's order; every change goes through the
// app model's exhibition edit. GUI thread only.

// <string> first: moc cannot parse <compare> when it comes first.
#include <string>

#include "core/base/IdSet.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/LibraryState.hpp"

#include <QToolButton>

#include <optional>
#include <string>
#include <vector>

class QMenu;
class QMimeData;

namespace tavolune {

class AppModel;
class LibraryWindowState;

namespace ExhibitionItems {

// The ids of the set that the grid lists now, in the grid's order.
std::vector<std::string> ordered(const LibraryWindowState& state, const IdSet& ids);

// "Add to Exhibition" (every exhibition but the current one, then "New
// Exhibition") and, on an exhibition's page, the remove entry.
void addTo(QMenu& menu, AppModel& model, const LibraryWindowState& state, const IdSet& targets,
           const std::optional<Uuid>& current);

// A drop of our own drag on the tile `before` of the exhibition's page:
// the dragged works of the exhibition move right before it. False when the
// drop carries nothing of ours.
bool dropOnTile(AppModel& model, const QMimeData& data, const Uuid& exhibition, const std::string& before);

}  // namespace ExhibitionItems

// The selection bar's exhibition control: a menu that adds the selection
// to an exhibition, or on an exhibition's page a button that removes it
// (and clears the selection and focus).
class ExhibitionSelectionButton final : public QToolButton {
  Q_OBJECT
 public:
  ExhibitionSelectionButton(AppModel& model, LibraryWindowState& state, std::optional<Uuid> exhibition,
                            QWidget* parent = nullptr);

  // The exhibition whose page the bar is on, if any: remove there, add elsewhere.
  void setExhibition(std::optional<Uuid> exhibition);

 private:
  void rebuildMenu();

  AppModel& model_;
  LibraryWindowState& state_;
  std::optional<Uuid> exhibition_;
  QMenu* addMenu_;
};

}  // namespace tavolune
