#include "app/library/LibraryWindowState.hpp"

namespace tavolune {

LibraryWindowState& LibraryWindowState::shared() {
  static auto* state = new LibraryWindowState;  // never released: other windows steer it at any time
  return *state;
}

void LibraryWindowState::setListed(std::vector<std::string> ids) {
  lender_ = nullptr;
  lent_ = nullptr;
  listed_ = std::move(ids);
}

void LibraryWindowState::lendListed(const QObject& owner, const std::vector<std::string>& ids) {
  listed_.clear();
  lender_ = &owner;
  lent_ = &ids;
}

void LibraryWindowState::setSelection(IdSet selection) {
  if (selection == *selection_) return;
  selection_ = std::make_shared<const IdSet>(std::move(selection));
  emit selectionChanged();
}

void LibraryWindowState::setFocused(std::optional<std::string> id) {
  if (id == focused_) return;
  focused_ = std::move(id);
  emit focusedChanged();
}

void LibraryWindowState::setBigPreview(std::optional<std::string> id) {
  if (id == bigPreview_) return;
  bigPreview_ = std::move(id);
  emit bigPreviewChanged();
}

void LibraryWindowState::setSidebar(std::optional<SidebarItem> item) {
  if (item == sidebar_) return;
  sidebar_ = item;
  emit sidebarChanged();
}

}  // namespace tavolune
