#pragma once
// The band over the grid while the sidebar shows an exhibition: a kicker
// that says whether it is on the desktop, its title to rename in place,
// a caption with its count and pace, and "Visit" and "Show on Desktop"
// (or "Stop"). Draws nothing once the exhibition is gone. GUI thread only.

#include "app/library/ExhibitionActions.hpp"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavolune {

class LibraryWindow;
class SmallCaps;

class ExhibitionHeader final : public QWidget {
  Q_OBJECT
 public:
  ExhibitionHeader(LibraryWindow& window, ExhibitionActions actions, Uuid id, QWidget* parent = nullptr);

  // The caption for a count at the library's rotation interval.
  static QString caption(std::size_t count, double rotationInterval);

  QLineEdit& titleField() const { return *title_; }
  // Stores the edited title, trimmed; an empty one puts the stored one back.
  void commit();

 private:
  void refresh();
  std::size_t count() const;
  bool shown() const;

  LibraryWindow& window_;
  ExhibitionActions actions_;
  Uuid id_;
  QWidget* body_;
  QLabel* kicker_;
  QLineEdit* title_;
  QLabel* caption_;
  QPushButton* visit_;
  QPushButton* show_;
  QPushButton* stop_;
};

}  // namespace tavolune
