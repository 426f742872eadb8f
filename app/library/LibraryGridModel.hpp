#pragma once
// The grid's rows: the listed work ids, each once, in listed order. A new
// listing replaces the vector in one reset (a filter change, a sync, a
// hide); an unchanged one touches nothing. Tiles read everything else from
// the library when painted. Tiles drag as their id in plain text; their
// help text (the My Selection toggle's) and accessible name come from the
// library the model is given. GUI thread only.

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace tavolune {

class AppModel;

class LibraryGridModel final : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Role { IdRole = Qt::UserRole + 1 };

  using QAbstractListModel::QAbstractListModel;
  // The library the rows name; it outlives the model.
  void setLibrary(const AppModel& library) { library_ = &library; }

  // Repeated ids are listed once, at their first place. Returns whether
  // the rows changed.
  bool setIds(const std::vector<std::string>& ids);
  const std::vector<std::string>& ids() const { return ids_; }
  const std::string& id(int row) const { return ids_[static_cast<std::size_t>(row)]; }
  // The first row of the id, or -1.
  int row(const std::string& id) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

 private:
  std::vector<std::string> ids_;
  const AppModel* library_ = nullptr;
};

}  // namespace tavolune
