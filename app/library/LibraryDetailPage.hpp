#pragma once
// The grid page of the library window: the page's title and subtitle, the
// search field, the toolbar (tile size, filters, "Details") and the
// inspector column beside the hosted grid, with the exhibition header
// above it on an exhibition's page. Reads and writes the window's filter,
// inspector visibility and tile size. GUI thread only.

#include "app/library/LibraryWindow.hpp"
#include "app/style/Motion.hpp"

#include <QWidget>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;
class QVBoxLayout;

namespace tavolune {

class LibraryDetailPage final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int inspectorMinWidth = 320;
  static constexpr int inspectorIdealWidth = 380;
  static constexpr int inspectorMaxWidth = 520;

  LibraryDetailPage(LibraryWindow& window, const LibraryWindow::Hosted& hosted, QWidget* parent = nullptr);

  QString title() const;
  QString subtitle() const;
  QLineEdit& searchField() const { return *search_; }
  QSlider& tileSlider() const { return *slider_; }
  QToolButton& detailsButton() const { return *details_; }
  QWidget& inspectorColumn() const { return *inspector_; }
  // 0 closed, 1 open; between while the column slides (spring 0.28, 0.85).
  const MotionValue& inspectorOpening() const { return opening_; }
  // The placeholder when no work is focused; null while a work's inspector shows.
  QLabel* inspectorPlaceholder() const;
  QWidget* exhibitionHeader() const { return header_; }

  // The sidebar item or the library changed.
  void refresh();

 private:
  void refreshSubtitle();
  void refreshInspector();
  void refreshHeader();
  void slideInspector(bool open, bool animated);
  void restInspector();
  void narrowInspector(double opening);

  LibraryWindow& window_;
  const LibraryWindow::Hosted& hosted_;
  QLabel* title_;
  QLabel* subtitle_;
  QLineEdit* search_;
  QSlider* slider_;
  QToolButton* details_;
  QWidget* inspector_;
  QVBoxLayout* inspectorBody_;
  MotionValue opening_{0};
  QWidget* inspectorContent_ = nullptr;
  std::optional<std::string> inspected_;
  bool inspectorBuilt_ = false;
  QVBoxLayout* headerHolder_;
  QWidget* header_ = nullptr;
  std::optional<Uuid> headerFor_;
};

}  // namespace tavolune
