#pragma once
// The "Exhibitions" section of the library sidebar: one row per exhibition
// in stored order, then "New Exhibition", which makes one of the selected
// works and opens it. Rows follow the library and the sidebar's choice.
// GUI thread only.

#include "app/library/ExhibitionActions.hpp"

#include <QWidget>

#include <vector>

class QVBoxLayout;

namespace tavolune {

class ExhibitionRow;
class LibraryWindow;

class ExhibitionsSection final : public QWidget {
  Q_OBJECT
 public:
  ExhibitionsSection(LibraryWindow& window, ExhibitionActions actions, QWidget* parent = nullptr);

  const std::vector<ExhibitionRow*>& rows() const { return rows_; }
  void newExhibition();

 private:
  void refresh();

  LibraryWindow& window_;
  ExhibitionActions actions_;
  QVBoxLayout* rowsLayout_;
  std::vector<ExhibitionRow*> rows_;
};

}  // namespace tavolune
