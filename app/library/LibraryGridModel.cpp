#include "app/library/LibraryGridModel.hpp"

#include "app/components/ArtworkTile.hpp"
#include "app/library/ArtworkDrag.hpp"
#include "app/model/AppModel.hpp"

#include "app/qt/Convert.hpp"

#include <QMimeData>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace tavolune {

bool LibraryGridModel::setIds(const std::vector<std::string>& ids, bool byRows) {
  return setIds(std::vector<std::string_view>(ids.begin(), ids.end()), byRows);
}

bool LibraryGridModel::setIds(const std::vector<std::string_view>& ids, bool byRows) {
  std::vector<std::string_view> distinct;
  distinct.reserve(ids.size());
  std::unordered_set<std::string_view> seen;
  seen.reserve(ids.size());
  for (const auto id : ids) {
    if (seen.insert(id).second) distinct.push_back(id);
  }
  return setDistinctIds(distinct, byRows);
}

namespace {

// Past a few runs, each a relayout of the view, one reset is cheaper.
constexpr int maxRuns = 64;

struct Runs {
  bool subsequence = false;  // shorter is longer less some of its ids
  bool many = false;         // more than maxRuns gaps, whatever else differs
  std::vector<std::pair<std::size_t, std::size_t>> gaps;  // [first, end) in longer, not in shorter
};

// One walk with no hashing: ids are distinct within each list, so a greedy
// match finds shorter in longer whenever it is there. Stops past limit gaps.
template <class Longer, class Shorter>
Runs gapsOf(const std::vector<Longer>& longer, const std::vector<Shorter>& shorter, std::size_t limit = maxRuns) {
  Runs runs;
  std::size_t j = 0;
  for (std::size_t i = 0; i < longer.size(); ++i) {
    if (j < shorter.size() && std::string_view(longer[i]) == std::string_view(shorter[j])) {
      ++j;
      continue;
    }
    if (!runs.gaps.empty() && runs.gaps.back().second == i) {
      ++runs.gaps.back().second;
    } else if (runs.gaps.size() == limit) {
      runs.many = true;
      return runs;
    } else {
      runs.gaps.emplace_back(i, i + 1);
    }
  }
  runs.subsequence = j == shorter.size();
  return runs;
}

}  // namespace

bool LibraryGridModel::setDistinctIds(const std::vector<std::string_view>& ids, bool byRows) {
  if (std::equal(ids.begin(), ids.end(), ids_.begin(), ids_.end())) return false;
  if (byRows && splice(ids)) return true;
  beginResetModel();
  clearRows();
  // Rows that stay keep their strings: a narrower search allocates nothing.
  std::vector<std::string> next;
  next.reserve(ids.size());
  if (ids.size() <= ids_.size() && gapsOf(ids_, ids, SIZE_MAX).subsequence) {
    std::size_t i = 0;
    for (const auto id : ids) {
      while (ids_[i] != id) ++i;
      next.push_back(std::move(ids_[i++]));
    }
  } else {
    next.assign(ids.begin(), ids.end());
  }
  ids_ = std::move(next);
  endResetModel();
  return true;
}

bool LibraryGridModel::splice(const std::vector<std::string_view>& next) {
  // Most new listings only drop rows (a hide) or only add some (a show).
  if (next.size() != ids_.size()) {
    const bool removing = next.size() < ids_.size();
    const Runs runs = removing ? gapsOf(ids_, next) : gapsOf(next, ids_);
    if (runs.many) return false;
    if (runs.subsequence) {
      clearRows();
      if (removing) {
        // From the end, so that earlier rows keep their place.
        for (auto it = runs.gaps.rbegin(); it != runs.gaps.rend(); ++it) {
          beginRemoveRows({}, int(it->first), int(it->second) - 1);
          ids_.erase(ids_.begin() + std::ptrdiff_t(it->first), ids_.begin() + std::ptrdiff_t(it->second));
          endRemoveRows();
        }
      } else {
        for (const auto& [first, end] : runs.gaps) {
          beginInsertRows({}, int(first), int(end) - 1);
          ids_.insert(ids_.begin() + std::ptrdiff_t(first), next.begin() + std::ptrdiff_t(first),
                      next.begin() + std::ptrdiff_t(end));
          endInsertRows();
        }
      }
      return true;
    }
  }
  std::unordered_set<std::string_view> before(ids_.begin(), ids_.end());
  std::unordered_set<std::string_view> after(next.begin(), next.end());
  // The ids both lists hold must keep their order.
  std::size_t i = 0;
  std::size_t j = 0;
  while (true) {
    while (i < ids_.size() && !after.contains(ids_[i])) ++i;
    while (j < next.size() && !before.contains(next[j])) ++j;
    if (i == ids_.size() || j == next.size()) break;
    if (ids_[i] != next[j]) return false;
    ++i;
    ++j;
  }
  int runs = 0;
  for (std::size_t k = 0; k < ids_.size(); ++k) {
    runs += !after.contains(ids_[k]) && (k == 0 || after.contains(ids_[k - 1]));
  }
  for (std::size_t k = 0; k < next.size(); ++k) {
    runs += !before.contains(next[k]) && (k == 0 || before.contains(next[k - 1]));
  }
  if (runs > maxRuns) return false;
  clearRows();
  // Runs of rows that go, from the end so that earlier rows keep their place.
  for (int end = int(ids_.size()); end > 0;) {
    if (after.contains(ids_[std::size_t(end - 1)])) {
      --end;
      continue;
    }
    int first = end - 1;
    while (first > 0 && !after.contains(ids_[std::size_t(first - 1)])) --first;
    beginRemoveRows({}, first, end - 1);
    ids_.erase(ids_.begin() + first, ids_.begin() + end);
    endRemoveRows();
    end = first;
  }
  // What is left is in order within next: insert each run of new ids in place.
  for (std::size_t k = 0; k < next.size();) {
    if (k < ids_.size() && ids_[k] == next[k]) {
      ++k;
      continue;
    }
    std::size_t end = k;
    const std::string* kept = k < ids_.size() ? &ids_[k] : nullptr;
    while (end < next.size() && (!kept || next[end] != *kept)) ++end;
    beginInsertRows({}, int(k), int(end) - 1);
    ids_.insert(ids_.begin() + std::ptrdiff_t(k), next.begin() + std::ptrdiff_t(k), next.begin() + std::ptrdiff_t(end));
    endInsertRows();
    k = end;
  }
  return true;
}

int LibraryGridModel::row(const std::string& id) const {
  const auto at = [this](std::uint32_t r) -> const std::string& { return ids_[r]; };
  if (rows_.empty() && !ids_.empty()) {
    // The first lookup after a change walks; a second builds the index.
    if (!walked_) {
      walked_ = true;
      const auto it = std::find(ids_.begin(), ids_.end(), id);
      return it == ids_.end() ? -1 : int(it - ids_.begin());
    }
    rows_.build(std::uint32_t(ids_.size()), at);
  }
  const std::uint32_t r = rows_.find(id, at);
  return r == PositionIndex::absent ? -1 : int(r);
}

void LibraryGridModel::clearRows() {
  rows_.clear();
  walked_ = false;
}

void LibraryGridModel::changed(const std::vector<std::string>& ids) {
  if (ids_.empty() || ids.empty()) return;
  if (ids.size() * 4 >= ids_.size()) return changedAll();
  std::vector<int> rows;
  if (!rows_.empty()) {
    for (const auto& id : ids) {
      if (const int r = row(id); r >= 0) rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
  } else {
    // Without the index of rows, one walk costs less than building it.
    std::unordered_set<std::string_view> wanted(ids.begin(), ids.end());
    for (std::size_t r = 0; r < ids_.size() && !wanted.empty(); ++r) {
      if (wanted.erase(ids_[r])) rows.push_back(int(r));
    }
  }
  signalRuns(std::move(rows));
}

void LibraryGridModel::changedAll() {
  if (!ids_.empty()) emit dataChanged(index(0), index(int(ids_.size()) - 1), {Qt::DisplayRole, IdRole});
}

void LibraryGridModel::signalRuns(std::vector<int> rows) {
  const QList<int> roles{Qt::DisplayRole, IdRole};
  for (std::size_t k = 0; k < rows.size();) {
    std::size_t last = k;
    while (last + 1 < rows.size() && rows[last + 1] <= rows[last] + 1) ++last;
    emit dataChanged(index(rows[k]), index(rows[last]), roles);
    k = last + 1;
  }
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
