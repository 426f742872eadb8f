#include "app/library/LibraryEdits.hpp"

#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "core/base/Url.hpp"

#include <algorithm>

namespace tavolune::LibraryEdits {
namespace {

void followUps(AppModel& model) {
  model.scheduleSave();
  model.schedulePendingSeriesCount();
  model.libraryChanged();
}

}  // namespace

bool hides(const LibraryState& state, const std::unordered_set<std::string>& ids) {
  bool any = false;
  for (const auto& id : ids) {
    const auto it = state.artworks.find(id);
    if (it == state.artworks.end()) continue;
    if (state.isVisible(it->second)) return true;
    any = true;
  }
  return !any;
}

HideTargets hideTargets(const LibraryState& state, const std::unordered_set<std::string>& ids) {
  HideTargets t;
  t.ids.reserve(ids.size());
  bool anyVisible = false;
  for (const auto& id : ids) {
    const auto it = state.artworks.find(id);
    if (it == state.artworks.end()) continue;
    t.ids.push_back(id);
    anyVisible = anyVisible || state.isVisible(it->second);
  }
  t.hide = t.ids.empty() || anyVisible;
  return t;
}

void apply(AppModel& model, const HideTargets& targets) {
  if (targets.ids.empty()) return;
  model.setHidden(targets.ids, targets.hide);
}

bool allInMySelection(const LibraryState& state, const std::unordered_set<std::string>& ids) {
  return std::all_of(ids.begin(), ids.end(), [&](const std::string& id) { return state.onDesktop.contains(id); });
}

void toggleMySelection(AppModel& model, const std::unordered_set<std::string>& ids) {
  if (ids.empty()) return;
  const bool remove = allInMySelection(model.state(), ids);
  std::vector<std::string> list(ids.begin(), ids.end());
  // By value: the writer replays the patch on its own copy later.
  model.edit([list = std::move(list), remove](LibraryState& s) {
    for (const auto& id : list) {
      if (remove) {
        s.onDesktop.erase(id);
      } else {
        s.onDesktop.insert(id);
      }
    }
  });
  followUps(model);
}

void hideCollection(AppModel& model, const Artwork& artwork) {
  model.edit([key = artwork.collectionKey()](LibraryState& s) { s.hiddenCollections.insert(key); });
  followUps(model);
}

}  // namespace tavolune::LibraryEdits
