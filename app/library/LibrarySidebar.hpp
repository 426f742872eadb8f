#pragma once
// The library window's sidebar: the fixed rows with their counts (from the
// window's listing of the current library revision), the exhibitions
// section (hosted; built elsewhere), the wallets with their counts and sync
// spinners, "Add or Manage…", and the Settings button at its foot. Choosing
// a row writes the window state's sidebar item. GUI thread only.

#include "app/components/Pane.hpp"
#include "app/library/SidebarItem.hpp"
#include "core/base/Uuid.hpp"

#include <QWidget>

#include <functional>
#include <map>
#include <unordered_map>

class QVBoxLayout;
class QToolButton;

class QLabel;

namespace tavolune {

class AppModel;
class LibraryListing;
class LibraryWindowState;
class SidebarRow;

class LibrarySidebar final : public Pane {
  Q_OBJECT
 public:
  // The small grey heading of a sidebar section ("Wallets", "Exhibitions").
  static QLabel* sectionHeader(const QString& text, QWidget* parent);

  static constexpr int minWidth = 200;
  static constexpr int idealWidth = 230;

  LibrarySidebar(AppModel& model, LibraryWindowState& state,
                 std::function<void()> openSettings, QWidget* parent = nullptr);

  // The exhibitions section goes between the fixed rows and the wallets.
  void setExhibitionsSection(QWidget* section);

  // For tests and the window: the row of an item, when it is listed.
  SidebarRow* row(const SidebarItem& item) const;
  QToolButton& settingsButton() const { return *settings_; }

  QSize sizeHint() const override { return {idealWidth, 600}; }

 private:
  void refresh();
  void refreshWallets();
  void refreshSelection();
  SidebarRow* fixedRow(SidebarItem item, const char* symbol, const char* title);

  AppModel& model_;
  LibraryWindowState& state_;
  std::map<SidebarItem::Kind, SidebarRow*> fixed_;
  QVBoxLayout* exhibitions_;
  QVBoxLayout* walletRows_;
  std::unordered_map<Uuid, SidebarRow*> wallets_;
  SidebarRow* manage_;
  QToolButton* settings_;
};

}  // namespace tavolune
