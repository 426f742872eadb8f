#include "app/model/AppModel.hpp"

#include <unordered_set>

namespace tavolune {
namespace {

std::vector<std::string> poolIDs(const LibraryState& state) {
  std::vector<std::string> ids;
  for (const Artwork* a : state.desktopPool()) ids.push_back(a->id);
  return ids;
}

LibraryChange exhibitionsChange(bool desktop = false) {
  LibraryChange change;
  change.exhibitions = true;
  change.desktop = desktop;
  return change;
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
  edit(
      [id, title = freeTitle(state_), ids](LibraryState& s) {
        const Uuid made = s.createExhibition(title, ids);
        s.exhibition(made)->id = id;
      },
      exhibitionsChange());
  return id;
}

void AppModel::editExhibitions(const ExhibitionEdit& e) {
  const auto before = poolIDs(state_);
  edit(
      [e](LibraryState& s) {
        switch (e.kind) {
          case ExhibitionEdit::Kind::add: s.add(e.ids, e.exhibition); break;
          case ExhibitionEdit::Kind::remove: s.remove(ArtworkIDSet(e.ids.begin(), e.ids.end()), e.exhibition); break;
          case ExhibitionEdit::Kind::move: s.move(e.ids, e.exhibition, e.before); break;
          case ExhibitionEdit::Kind::rename:
            if (Exhibition* found = s.exhibition(e.exhibition)) found->title = e.title;
            break;
          case ExhibitionEdit::Kind::erase: s.deleteExhibition(e.exhibition); break;
        }
      },
      exhibitionsChange());
  if (poolIDs(state_) != before) pending_.desktop = true;
}

void AppModel::setActiveExhibition(const std::optional<Uuid>& exhibition) {
  edit([exhibition](LibraryState& s) { s.activeExhibition = exhibition; }, exhibitionsChange(true));
}

}  // namespace tavolune
