#pragma once
// The library edits that the grid's keys, the selection bar and the
// artwork menu share: which works a hide or unhide applies to, toggling
// works in My Selection, hiding a collection, and the artwork page a work
// may open. Each edit is one of the app model's operations.
// GUI thread only.

#include "core/base/IdSet.hpp"
#include "core/model/LibraryState.hpp"

#include <QUrl>

#include <memory>
#include <optional>
#include <string>

namespace tavolune {

class AppModel;

namespace LibraryEdits {

// The works a hide or unhide of `ids` applies to: only ids the library
// holds (a work a sync removed must not land in the hidden set and stay
// hidden when it comes back). `hide` is false only when every id names a
// work of the library that is hidden; an id the library no longer holds
// counts as visible. True for none (a no-op).
struct HideTargets {
  IdSet ids;
  bool hide = true;
};
HideTargets hideTargets(const LibraryState& state, const IdSet& ids);
// hideTargets(state, ids).hide, without the list.
bool hides(const LibraryState& state, const IdSet& ids);

// Hides or unhides the targets; nothing when there are none.
void apply(AppModel& model, const HideTargets& targets);

// Every id is in My Selection; true for none.
bool allInMySelection(const LibraryState& state, const IdSet& ids);

// Removes the ids from My Selection when every one is in it, else adds
// them all.
void toggleMySelection(AppModel& model, const IdSet& ids);
// The same for a set the caller keeps: shared with the edit, not copied.
void toggleMySelection(AppModel& model, std::shared_ptr<const IdSet> ids);

// Hides every work of the artwork's contract on its chain.
void hideCollection(AppModel& model, const Artwork& artwork);

}  // namespace LibraryEdits
}  // namespace tavolune
