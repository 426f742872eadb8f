#pragma once
// The library window's navigation state, kept outside the window so that it
// survives closing it and other windows can steer it: the selection, the
// focused work, the work in the large preview, the grid's listed order and
// the sidebar item. Nothing of it is saved. GUI thread only.

#include "app/library/SidebarItem.hpp"
#include "core/base/IdSet.hpp"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolune {

class LibraryWindowState final : public QObject {
  Q_OBJECT
 public:
  // Made on first use, kept for the life of the process.
  static LibraryWindowState& shared();

  explicit LibraryWindowState(QObject* parent = nullptr) : QObject(parent) {}

  const IdSet& selection() const { return *selection_; }
  // The selection as it stands, to be kept by an edit of all of it: the
  // state never changes a set it has handed out.
  const std::shared_ptr<const IdSet>& sharedSelection() const { return selection_; }
  const std::optional<std::string>& focused() const { return focused_; }
  const std::optional<std::string>& bigPreview() const { return bigPreview_; }
  const std::optional<SidebarItem>& sidebar() const { return sidebar_; }

  // Each setter emits only when the value changes.
  void setSelection(IdSet selection);
  void setFocused(std::optional<std::string> id);
  void setBigPreview(std::optional<std::string> id);
  void setSidebar(std::optional<SidebarItem> item);

  // The grid's current order, not published: the rows a grid lends for as
  // long as it lives (not copied on each change of 20,000 of them), else
  // the order last set.
  const std::vector<std::string>& listed() const { return lender_ ? *lent_ : listed_; }
  void setListed(std::vector<std::string> ids);
  // `ids` lives as long as `owner`.
  void lendListed(const QObject& owner, const std::vector<std::string>& ids);

 signals:
  void selectionChanged();
  void focusedChanged();
  void bigPreviewChanged();
  void sidebarChanged();

 private:
  std::shared_ptr<const IdSet> selection_ = std::make_shared<const IdSet>();
  std::optional<std::string> focused_;
  std::optional<std::string> bigPreview_;
  std::optional<SidebarItem> sidebar_ = SidebarItem::all();
  std::vector<std::string> listed_;
  QPointer<const QObject> lender_;
  const std::vector<std::string>* lent_ = nullptr;
};

}  // namespace tavolune
