#pragma once
// The library window's navigation state, kept outside the window so that it
// survives closing it and other windows can steer it: the selection, the
// focused work, the work in the large preview, the grid's listed order and
// the sidebar item. Nothing of it is saved. GUI thread only.

#include "app/library/SidebarItem.hpp"

#include <QObject>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tavolune {

class LibraryWindowState final : public QObject {
  Q_OBJECT
 public:
  // Made on first use, kept for the life of the process.
  static LibraryWindowState& shared();

  explicit LibraryWindowState(QObject* parent = nullptr) : QObject(parent) {}

  const std::unordered_set<std::string>& selection() const { return selection_; }
  const std::optional<std::string>& focused() const { return focused_; }
  const std::optional<std::string>& bigPreview() const { return bigPreview_; }
  const std::optional<SidebarItem>& sidebar() const { return sidebar_; }

  // Each setter emits only when the value changes.
  void setSelection(std::unordered_set<std::string> selection);
  void setFocused(std::optional<std::string> id);
  void setBigPreview(std::optional<std::string> id);
  void setSidebar(std::optional<SidebarItem> item);

  // The grid's current order; written by the grid only, not published.
  std::vector<std::string> listed;

 signals:
  void selectionChanged();
  void focusedChanged();
  void bigPreviewChanged();
  void sidebarChanged();

 private:
  std::unordered_set<std::string> selection_;
  std::optional<std::string> focused_;
  std::optional<std::string> bigPreview_;
  std::optional<SidebarItem> sidebar_ = SidebarItem::all();
};

}  // namespace tavolune
