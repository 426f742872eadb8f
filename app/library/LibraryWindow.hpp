#pragma once
// The library window's content: the sidebar, the detail column for the
// chosen sidebar item (the grid page or the wallets page) and the large
// preview over everything. Its navigation lives in LibraryWindowState, so
// it survives the window; the filter, the inspector's visibility and the
// tile size belong to one opened window. The grid, filters menu,
// inspector, exhibition views, large preview and add-wallet field are built
// elsewhere and hosted here, each in its place. GUI thread only.

#include "app/components/ArtworkActions.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "core/model/LibraryListing.hpp"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QSplitter;
class QStackedWidget;

namespace tavolune {

class AppModel;
struct LibraryChange;
class LibraryDetailPage;
class LibrarySidebar;
class WalletsPage;
class WindowManager;

class LibraryWindow final : public QWidget {
  Q_OBJECT
 public:
  static constexpr QSize minimumContentSize{860, 560};

  struct Services {
    AppModel& model;
    // Puts a work on every display (the desktop controller's show).
    std::function<void(const Artwork&)> show{};
    // Opens the settings window on its General tab.
    std::function<void()> openSettings{};
  };

  // Views built by other parts of the window; an unset slot shows nothing.
  struct Hosted {
    std::function<QWidget*(LibraryWindow&)> grid{};
    std::function<QWidget*(LibraryWindow&)> filtersMenu{};
    std::function<QWidget*(LibraryWindow&, const Artwork&)> inspector{};
    std::function<QWidget*(LibraryWindow&, const Uuid&)> exhibitionHeader{};
    std::function<QWidget*(LibraryWindow&, const Artwork&)> largePreview{};
    std::function<QWidget*(LibraryWindow&)> exhibitionsSection{};
    std::function<QWidget*()> addWalletField{};
  };

  LibraryWindow(Services services, Hosted hosted, LibraryWindowState& state, QWidget* parent = nullptr);
  ~LibraryWindow() override;

  // Registers the "library" content with the window manager and routes
  // showLibrary(selecting:) to the shared window state.
  static void registerWith(WindowManager& windows, Services services, Hosted hosted);

  AppModel& model() const { return services_.model; }
  LibraryWindowState& windowState() const { return state_; }
  const ArtworkActions& artworkActions() const { return actions_; }
  // The model's listing of the current library.
  const LibraryListing& listing() const;

  const LibraryFilter& filter() const { return filter_; }
  void setFilter(const LibraryFilter& filter);
  std::optional<QString> emptyHint() const;
  bool showInspector() const { return showInspector_; }
  // Animated: the column slides; otherwise it is there at once.
  void setShowInspector(bool show, bool animated = true);
  double tileSize() const { return tileSize_; }
  void setTileSize(double size);

  LibrarySidebar& sidebar() const { return *sidebar_; }
  QSplitter& splitter() const { return *split_; }
  // The page shown now: one of them is null.
  LibraryDetailPage* detailPage() const { return detail_; }
  WalletsPage* walletsPage() const { return wallets_; }
  QWidget* largePreview() const { return preview_; }

 signals:
  void filterChanged();
  void showInspectorChanged(bool animated);
  void tileSizeChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void sidebarChanged();
  void focusChanged();
  void libraryChanged(const LibraryChange& change);
  void showPage();
  void refreshPreview();

  Services services_;
  Hosted hosted_;
  LibraryWindowState& state_;
  ArtworkActions actions_;
  LibraryFilter filter_;
  bool showInspector_ = false;
  double tileSize_;
  bool appeared_ = false;

  QSplitter* split_;
  LibrarySidebar* sidebar_;
  QStackedWidget* pages_;
  LibraryDetailPage* detail_ = nullptr;
  WalletsPage* wallets_ = nullptr;
  QPointer<QWidget> preview_;
  std::optional<std::string> previewID_;
};

}  // namespace tavolune
