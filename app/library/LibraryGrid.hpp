#pragma once
// The library's browsing surface: the works that pass the window's filter,
// in the library's order and each once, as a grid of painted tiles (never
// a widget per work), with the window's selection model on top: click,
// Ctrl-click, Shift-click, double click and Ctrl+A; the arrow keys, Space,
// Return, Delete, "s" and Escape; the tile context menu; the selection bar
// over its bottom edge while anything is selected; and the empty view when
// nothing is listed. Columns follow the width 0.12 s after it settles and
// the tile size at once. Drops while an exhibition is listed go to
// ExhibitionHooks::drop. GUI thread only.

#include "app/components/ThumbnailLoader.hpp"
#include "app/library/DesktopAccess.hpp"
#include "app/library/ExhibitionHooks.hpp"
#include "app/style/Motion.hpp"
#include "core/model/DisplayChoices.hpp"
#include "core/model/Wallet.hpp"

#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QStackedWidget;

namespace tavolune {

class ArtworkMenu;
class EmptyLibraryView;
class LibraryGridModel;
struct LibraryChange;
class LibraryGridView;
class LibraryTileDelegate;
class LibraryWindow;
class SelectionBar;

class LibraryGrid final : public QWidget {
  Q_OBJECT
 public:
  static constexpr std::chrono::milliseconds reflowDelay{120};
  static constexpr int barBottomPadding = 18;
  static Curve barSpring() { return Curve::springOf(0.25, 0.85); }

  struct Services {
    // show falls back to the window's primary action.
    DesktopAccess desktop{};
    ExhibitionHooks exhibitions{};
    // Opens a work's page; the desktop's browser when unset.
    std::function<void(const QUrl&)> openURL{};
    // A screen of small tiles at once: the fetches mostly wait on the
    // network, so the grid's own pool is wider than the default.
    ThumbnailLoader::Options loader{.threads = 12};
    // Where stills come from; the model's pipeline when null.
    ImagePipeline* pipeline = nullptr;
  };

  LibraryGrid(LibraryWindow& window, Services services, QWidget* parent = nullptr);
  ~LibraryGrid() override;

  // Columns for a width at a tile size: at least 1.
  static int count(double width, double tileSize);

  // The listed ids, in order, each once.
  const std::vector<std::string>& items() const;
  int columnCount() const;
  // A change of width waits to change the columns.
  bool isReflowing() const { return reflow_.isActive(); }
  bool showsEmptyView() const;
  // The user's own criteria (search, filter menu, exhibition) narrow the list.
  bool filtered() const;
  // An artist wallet of the listed wallet that needs its collection contracts.
  std::optional<Wallet> artistWalletWithoutContracts() const;

  LibraryGridView& view() const { return *view_; }
  const LibraryTileDelegate& tiles() const { return *delegate_; }
  EmptyLibraryView& emptyView() const { return *empty_; }
  SelectionBar& selectionBar() const { return *bar_; }
  ThumbnailLoader& loader() const { return *loader_; }

  // The selection rules, by row of items().
  void click(int row, Qt::KeyboardModifiers modifiers);
  void doubleClick(int row);
  // Whether the press was the grid's.
  bool handleKey(QKeyEvent* event);
  void selectAll();
  // The tile's context menu; the caller shows it.
  std::unique_ptr<ArtworkMenu> menuFor(int row) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // byRows: an edit of the library changes rows; a new filter resets them.
  void relist(bool byRows = false);
  void libraryChanged(const LibraryChange& change);
  void selectionChanged();
  void tileSizeChanged();
  void widthChanged(int width);
  void placeBar();
  void refreshEmpty();
  // The shown tiles of live works repaint when the live policy changed.
  void policyChanged();
  void move(int step);
  void hideOrUnhideSelection();
  void select(const std::string& id);
  std::optional<int> focusRow() const;
  const Artwork* artworkAt(int row) const;

  LibraryWindow& window_;
  Services services_;
  std::unique_ptr<ThumbnailLoader> loader_;
  LibraryGridModel* model_;
  LibraryTileDelegate* delegate_;
  LibraryGridView* view_;
  EmptyLibraryView* empty_;
  QStackedWidget* stack_;
  SelectionBar* bar_;
  QTimer reflow_;
  std::vector<std::string_view> listed_;  // relist's buffer, empty between lists
  int width_ = 0;
  int pendingWidth_ = 0;
  bool measured_ = false;
  bool reorderReport_ = false;  // a drop waits for its report to reflow
  AnimationPolicy policy_{};    // the live policy the tiles' kind badges show
};

}  // namespace tavolune
