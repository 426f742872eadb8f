// The grid's selection rules: clicks, keys, the context menu, hiding.
#include "app/library/ArtworkMenu.hpp"
#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryGridView.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/model/AppModel.hpp"

#include <QKeyEvent>

#include <algorithm>

namespace tavolune {

std::optional<int> LibraryGrid::focusRow() const {
  const auto& focused = window_.windowState().focused();
  if (!focused) return std::nullopt;
  const int row = model_->row(*focused);
  return row < 0 ? std::nullopt : std::optional<int>(row);
}

void LibraryGrid::select(const std::string& id) {
  auto& state = window_.windowState();
  state.setSelection({id});
  state.setFocused(id);
}

void LibraryGrid::click(int row, Qt::KeyboardModifiers modifiers) {
  if (row < 0 || row >= model_->rowCount()) return;
  view_->setFocus(Qt::MouseFocusReason);
  auto& state = window_.windowState();
  const std::string& id = model_->id(row);
  if (modifiers & Qt::ControlModifier) {
    auto selection = state.selection();
    if (selection.erase(id) == 0) {
      selection.insert(id);
      state.setSelection(std::move(selection));
      state.setFocused(id);
    } else {
      state.setSelection(std::move(selection));
    }
    return;
  }
  if (modifiers & Qt::ShiftModifier) {
    if (const auto anchor = focusRow()) {
      auto selection = state.selection();
      for (int r = std::min(*anchor, row); r <= std::max(*anchor, row); ++r) selection.insert(model_->id(r));
      state.setSelection(std::move(selection));
      return;
    }
  }
  select(id);
}

void LibraryGrid::doubleClick(int row) {
  const Artwork* artwork = artworkAt(row);
  if (!artwork) return;
  select(artwork->id);
  if (services_.desktop.show) services_.desktop.show(*artwork);
}

void LibraryGrid::selectAll() {
  const auto& ids = model_->ids();
  // The rows list each work once.
  window_.windowState().setSelection(IdSet::distinct(ids.begin(), ids.end()));
}

void LibraryGrid::move(int step) {
  const int count = model_->rowCount();
  const auto p = focusRow();
  const int base = p ? *p : (step > 0 ? -1 : 1);
  const int target = std::clamp(base + step, 0, count - 1);
  select(model_->id(target));
  view_->ensureVisible(target);
}

void LibraryGrid::hideOrUnhideSelection() {
  auto& state = window_.windowState();
  const auto& selection = state.selection();  // unchanged until the select below
  const auto targets = LibraryEdits::hideTargets(window_.model().state(), selection);
  // The work to go on with: the one after the focused one in the list as
  // it stands before the edit.
  std::optional<std::string> next;
  if (targets.hide && !targets.ids.empty()) {
    if (const auto p = focusRow(); p && *p + 1 < model_->rowCount()) next = model_->id(*p + 1);
  }
  LibraryEdits::apply(window_.model(), targets);
  if (next) {
    select(*next);
  } else {
    state.setSelection({});
    state.setFocused({});
  }
}

bool LibraryGrid::handleKey(QKeyEvent* event) {
  auto& state = window_.windowState();
  if (state.bigPreview() || model_->rowCount() == 0) return false;
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    return true;
  }
  switch (event->key()) {
    case Qt::Key_Left: move(-1); return true;
    case Qt::Key_Right: move(1); return true;
    case Qt::Key_Up: move(-view_->columnCount()); return true;
    case Qt::Key_Down: move(view_->columnCount()); return true;
    case Qt::Key_Space:
      if (!state.focused()) {
        move(1);
      } else {
        state.setBigPreview(state.focused());
      }
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      const auto& focused = state.focused();
      if (!focused) return false;
      const auto& artworks = window_.model().state().artworks;
      const auto it = artworks.find(*focused);
      if (it == artworks.end()) return false;
      if (services_.desktop.show) services_.desktop.show(it->second);
      return true;
    }
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      if (state.selection().empty()) return false;
      hideOrUnhideSelection();
      return true;
    case Qt::Key_Escape:
      if (state.selection().empty()) return false;
      state.setSelection({});
      state.setFocused({});
      return true;
    default:
      break;
  }
  if (event->key() == Qt::Key_S && event->modifiers() == Qt::NoModifier) {
    if (state.selection().empty()) return false;
    LibraryEdits::toggleMySelection(window_.model(), state.sharedSelection());
    return true;
  }
  return false;
}

std::unique_ptr<ArtworkMenu> LibraryGrid::menuFor(int row) const {
  const Artwork* artwork = artworkAt(row);
  if (!artwork) return nullptr;
  const ArtworkMenu::Context context{window_.model(), window_.windowState(), window_.artworkActions(),
                                     services_.openURL, services_.exhibitions};
  return std::make_unique<ArtworkMenu>(context, *artwork, window_.filter().exhibitionID);
}

}  // namespace tavolune
