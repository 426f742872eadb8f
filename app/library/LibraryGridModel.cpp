#include "app/library/LibraryGridModel.hpp"

#include "app/components/ArtworkTile.hpp"
#include "app/library/ArtworkDrag.hpp"
#include "app/model/AppModel.hpp"

#include "app/qt/Convert.hpp"

#include <QMimeData>
#include <QStringList>

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace tavolune {

bool LibraryGridModel::setIds(const std::vector<std::string>& ids) {
  if (ids == ids_) return false;  // ids_ holds no repeats, so neither does ids
  std::vector<std::string> unique;
  unique.reserve(ids.size());
  std::unordered_set<std::string_view> seen;
  seen.reserve(ids.size());
  for (const auto& id : ids) {
    if (seen.insert(id).second) unique.push_back(id);
  }
  if (unique == ids_) return false;
  beginResetModel();
  ids_ = std::move(unique);
  endResetModel();
  return true;
}

int LibraryGridModel::row(const std::string& id) const {
  const auto it = std::find(ids_.begin(), ids_.end(), id);
  return it == ids_.end() ? -1 : int(it - ids_.begin());
}

int LibraryGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(ids_.size());
}

QVariant LibraryGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  if (role == IdRole || role == Qt::DisplayRole) return qt::str(id(index.row()));
  if (!library_ || (role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)) return {};
  const LibraryState& state = library_->state();
  if (role == Qt::ToolTipRole) return ArtworkTile::toggleHelp(state.onDesktop.contains(id(index.row())));
  const auto it = state.artworks.find(id(index.row()));
  return it == state.artworks.end() ? QVariant() : QVariant(ArtworkTile::accessibleText(it->second));
}

Qt::ItemFlags LibraryGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList LibraryGridModel::mimeTypes() const { return {ArtworkDrag::mimeType}; }

QMimeData* LibraryGridModel::mimeData(const QModelIndexList& indexes) const {
  std::vector<std::string> ids;
  for (const auto& i : indexes) {
    if (i.isValid()) ids.push_back(id(i.row()));
  }
  return ArtworkDrag::encode(ids).release();
}

}  // namespace tavolune
