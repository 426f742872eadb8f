#include "app/library/LibraryEdits.hpp"

#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "core/base/Url.hpp"

#include <algorithm>

namespace tavolune::LibraryEdits {

bool hides(const LibraryState& state, const IdSet& ids) {
  if (ids.empty()) return true;
  std::string key;  // one buffer for the lookups
  // A work the library no longer holds counts as visible.
  return std::any_of(ids.begin(), ids.end(), [&](std::string_view id) {
    const auto it = state.artworks.find(key.assign(id));
    return it == state.artworks.end() || state.isVisible(it->second);
  });
}

HideTargets hideTargets(const LibraryState& state, const IdSet& ids) {
  HideTargets t;
  t.hide = hides(state, ids);
  std::string key;
  for (const std::string_view id : ids) {
    if (state.artworks.contains(key.assign(id))) t.ids.insert(id);
  }
  return t;
}

void apply(AppModel& model, const HideTargets& targets) {
  if (targets.ids.empty()) return;
  model.setHidden(targets.ids, targets.hide);
}

bool allInMySelection(const LibraryState& state, const IdSet& ids) {
  std::string key;
  return std::all_of(ids.begin(), ids.end(),
                     [&](std::string_view id) { return state.onDesktop.contains(key.assign(id)); });
}

void toggleMySelection(AppModel& model, const IdSet& ids) { model.toggleMySelection(ids); }

void toggleMySelection(AppModel& model, std::shared_ptr<const IdSet> ids) {
  model.toggleMySelection(std::move(ids));
}

void hideCollection(AppModel& model, const Artwork& artwork) { model.hideCollection(artwork); }

}  // namespace tavolune::LibraryEdits
