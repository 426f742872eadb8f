#include "app/model/AppModel.hpp"

#include <unordered_set>

namespace tavolune {
namespace {

std::vector<std::string> poolIDs(const LibraryState& state) {
  std::vector<std::string> ids;
  for (const Artwork* a : state.desktopPool()) ids.push_back(a->id);
  return ids;
}

std::string freeTitle(const LibraryState& state) {
  std::unordered_set<std::string> taken;
  for (const auto& e : state.exhibitions) taken.insert(e.title);
  const std::string base = "Untitled Exhibition";
  if (!taken.contains(base)) return base;
  for (int n = 2;; ++n) {
    std::string title = base + " " + std::to_string(n);
    if (!taken.contains(title)) return title;
  }
}

}  // namespace

Uuid AppModel::newExhibition(const std::vector<std::string>& ids) {
  // The id is chosen here: the patch runs again on the writer's copy and
  // must make the same exhibition there.
  const Uuid id = Uuid::random();
  edit([id, title = freeTitle(state_), ids](LibraryState& s) {
    const Uuid made = s.createExhibition(title, ids);
    s.exhibition(made)->id = id;
  });
  scheduleSave();
  schedulePendingSeriesCount();
  return id;
}

void AppModel::editExhibitions(LibraryWriter::Patch patch) {
  const auto before = poolIDs(state_);
  edit(std::move(patch));
  scheduleSave();
  schedulePendingSeriesCount();
  if (poolIDs(state_) != before) libraryChanged();
}

}  // namespace tavolune
