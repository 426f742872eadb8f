#pragma once
// The grid's rows: the listed work ids, each once, in listed order. A new
// listing that keeps the order of the rows it keeps removes and inserts
// rows (a hide, a work added to the listed exhibition); one that reorders
// them replaces the vector in one reset (a filter change, a sync); an
// unchanged one touches nothing. Tiles read everything else from the
// library when painted. Tiles drag as their id in plain text; their
// help text (the My Selection toggle's) and accessible name come from the
// library the model is given. GUI thread only.

#include "core/base/PositionIndex.hpp"

#include <QAbstractListModel>

#include <string>
#include <string_view>
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
  // the rows changed. byRows: removed and inserted rows where the order of
  // the rows kept allows and the runs are few; else (and for a new filter)
  // one reset.
  bool setIds(const std::vector<std::string>& ids, bool byRows = true);
  bool setIds(const std::vector<std::string_view>& ids, bool byRows = true);
  // The same for ids that hold no repeats, without looking for them. The
  // ids need outlive only the call; rows that stay keep their strings.
  bool setDistinctIds(const std::vector<std::string_view>& ids, bool byRows = true);
  const std::vector<std::string>& ids() const { return ids_; }
  const std::string& id(int row) const { return ids_[static_cast<std::size_t>(row)]; }
  // The first row of the id, or -1.
  int row(const std::string& id) const;
  // The tiles of the ids repaint (one dataChanged per run of rows).
  void changed(const std::vector<std::string>& ids);
  void changedAll();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

 private:
  // Removes and inserts rows to reach ids (each once); false when the two
  // lists order their common ids differently or the runs are many.
  bool splice(const std::vector<std::string_view>& ids);
  void signalRuns(std::vector<int> rows);

  std::vector<std::string> ids_;
  const AppModel* library_ = nullptr;
  void clearRows();

  mutable PositionIndex rows_;  // built on demand
  mutable bool walked_ = false;
};

}  // namespace tavolune
