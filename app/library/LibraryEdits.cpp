#include "app/library/LibraryEdits.hpp"

#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "core/base/Url.hpp"

#include <algorithm>

namespace tavolune::LibraryEdits {

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
  std::vector<std::string> list;  // reserved from the size: one walk of the set, not two
  list.reserve(ids.size());
  list.insert(list.end(), ids.begin(), ids.end());
  model.toggleMySelection(std::move(list));
}

void hideCollection(AppModel& model, const Artwork& artwork) { model.hideCollection(artwork); }

}  // namespace tavolune::LibraryEdits
