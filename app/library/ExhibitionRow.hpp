#pragma once
// One exhibition in the library sidebar: its title, a badge while it is on
// the desktop, the count of its works; a drop target for works dragged from
// the grid, and the context menu of the shared exhibition actions. GUI
// thread only.

#include "app/library/ExhibitionActions.hpp"

#include <QWidget>

namespace tavolune {

class AppModel;
class LibraryWindowState;
class SidebarRow;

class ExhibitionRow final : public QWidget {
  Q_OBJECT
 public:
  ExhibitionRow(AppModel& model, LibraryWindowState& state, const ExhibitionActions& actions, Uuid exhibition,
                QWidget* parent = nullptr);

  const Uuid& exhibition() const { return id_; }
  SidebarRow& row() const { return *row_; }
  // The context menu's entries, in order; built fresh each time.
  QMenu* buildMenu(QWidget* parent);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool isShown() const;

  AppModel& model_;
  LibraryWindowState& state_;
  const ExhibitionActions& actions_;
  Uuid id_;
  SidebarRow* row_;
};

}  // namespace tavolune
