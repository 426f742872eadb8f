#include "app/library/LibraryGridModel.hpp"

#include "app/qt/Convert.hpp"

#include <QMimeData>
#include <QStringList>

namespace tavolune {

bool LibraryGridModel::setIds(const std::vector<std::string>& ids) {
  std::vector<std::string> unique;
  std::unordered_map<std::string, int> rows;
  unique.reserve(ids.size());
  rows.reserve(ids.size());
  for (const auto& id : ids) {
    if (rows.emplace(id, int(unique.size())).second) unique.push_back(id);
  }
  if (unique == ids_) return false;
  beginResetModel();
  ids_ = std::move(unique);
  rows_ = std::move(rows);
  endResetModel();
  return true;
}

int LibraryGridModel::row(const std::string& id) const {
  const auto it = rows_.find(id);
  return it == rows_.end() ? -1 : it->second;
}

int LibraryGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(ids_.size());
}

QVariant LibraryGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  if (role == IdRole || role == Qt::DisplayRole) return qt::str(id(index.row()));
  return {};
}

Qt::ItemFlags LibraryGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList LibraryGridModel::mimeTypes() const { return {QStringLiteral("text/plain")}; }

QMimeData* LibraryGridModel::mimeData(const QModelIndexList& indexes) const {
  QStringList lines;
  for (const auto& i : indexes) {
    if (i.isValid()) lines << qt::str(id(i.row()));
  }
  auto* mime = new QMimeData;
  mime->setText(lines.join(QLatin1Char('\n')));
  return mime;
}

}  // namespace tavolune
