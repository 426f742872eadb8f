#pragma once
// The floating bar over the bottom of the grid while works are selected:
// clear, the count, hide or unhide, "Show Now" for a single work (a
// spinner while the desktop prepares it), My Selection, and the
// exhibition control. The wide form has titled buttons; the compact form,
// used when the wide one does not fit, shows icons only and the spinner
// without its text. Every control and action is the same in both.
// GUI thread only.

#include "app/library/DesktopAccess.hpp"
#include "app/library/ExhibitionHooks.hpp"
#include "core/base/Uuid.hpp"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QToolButton;

namespace tavolune {

class AppModel;
class FloatingBar;
struct LibraryChange;
class LibraryWindowState;
class Spinner;

class SelectionBar final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int spacing = 10;
  static constexpr int horizontalPadding = 14;
  static constexpr int verticalPadding = 8;
  static constexpr int outerPadding = 16;

  SelectionBar(AppModel& model, LibraryWindowState& windowState, DesktopAccess desktop, ExhibitionHooks hooks,
               QWidget* parent = nullptr);

  void setExhibition(std::optional<Uuid> exhibition);
  const std::optional<Uuid>& exhibition() const { return exhibition_; }
  std::vector<std::string> selectedIds() const;

  // Picks the wide form when it fits `width` (less the outer padding),
  // else the compact one, and takes its size.
  void fitTo(int width);
  bool isCompact() const { return compact_; }

  QToolButton& clearButton() const { return *clear_; }
  QLabel& countLabel() const { return *count_; }
  QToolButton& hideButton() const { return *hide_; }
  QToolButton& showNowButton() const { return *showNow_; }
  // The spinner with "Preparing…" (its text only in the wide form).
  QWidget& preparing() const { return *preparing_; }
  QLabel& preparingText() const { return *preparingText_; }
  QToolButton& mySelectionButton() const { return *mySelection_; }
  QWidget* exhibitionButton() const { return exhibitionButton_; }

  // Follows the selection and the library.
  void refresh();

 signals:
  // The bar's size may have changed; the grid places it again.
  void layoutChanged();
  void exhibitionChanged();

 private:
  void applyForm();
  void hideOrUnhide();
  void showSingle();
  std::optional<std::string> single() const;
  void showFlags();
  // What a change that only put this very selection in My Selection or took
  // it out leaves (every one in, or none), so no work need be looked at
  // again; nothing for any other change.
  std::optional<bool> mineAfter(const LibraryChange& change) const;

  AppModel& model_;
  LibraryWindowState& windowState_;
  DesktopAccess desktop_;
  std::optional<Uuid> exhibition_;
  bool compact_ = false;
  // The flags of the selection as last worked out.
  bool hides_ = true;
  bool allMine_ = true;
  FloatingBar* capsule_;
  QToolButton* clear_;
  QLabel* count_;
  QToolButton* hide_;
  QToolButton* showNow_;
  QWidget* preparing_;
  Spinner* spinner_;
  QLabel* preparingText_;
  QToolButton* mySelection_;
  QWidget* exhibitionButton_ = nullptr;
};

}  // namespace tavolune
