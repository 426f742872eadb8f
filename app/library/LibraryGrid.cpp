#include "app/library/LibraryGrid.hpp"

#include "app/library/ArtworkMenu.hpp"
#include "app/library/EmptyLibraryView.hpp"
#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryGridView.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/SelectionBar.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace tavolune {

LibraryGrid::LibraryGrid(LibraryWindow& window, Services services, QWidget* parent)
    : QWidget(parent), window_(window), services_(std::move(services)) {
  AppModel& model = window_.model();
  if (!services_.desktop.show) services_.desktop.show = window_.artworkActions().primary;
  loader_ = std::make_unique<ThumbnailLoader>(
      services_.pipeline ? *services_.pipeline : model.media().images(),
      [&model](const Artwork& a, const QImage& still) { model.formats().noteRatio(a, still); }, services_.loader);
  policy_ = model.state().settings.animation;
  model_ = new LibraryGridModel(this);
  model_->setLibrary(model);
  delegate_ = new LibraryTileDelegate(model, window_.windowState(), *loader_, this);
  delegate_->setPalette(palette());

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  column->addWidget(stack_);
  view_ = new LibraryGridView(*model_, *delegate_, *loader_, stack_);
  stack_->addWidget(view_);
  auto* emptyScroll = new QScrollArea(stack_);
  emptyScroll->setFrameShape(QFrame::NoFrame);
  emptyScroll->setWidgetResizable(true);
  empty_ = new EmptyLibraryView(model, emptyScroll);
  emptyScroll->setWidget(empty_);
  stack_->addWidget(emptyScroll);

  bar_ = new SelectionBar(model, window_.windowState(), services_.desktop, services_.exhibitions, this);
  bar_->hide();
  // Select All from anywhere in the window; a text field with the keyboard
  // keeps Ctrl+A for its own text (it overrides the shortcut).
  new QShortcut(QKeySequence::SelectAll, this, this, &LibraryGrid::selectAll, Qt::WindowShortcut);

  view_->setHandlers({
      .click = [this](int row, Qt::KeyboardModifiers m) { click(row, m); },
      .doubleClick = [this](int row) { doubleClick(row); },
      .toggle = [this](int row) { LibraryEdits::toggleMySelection(window_.model(), {model_->id(row)}); },
      .key = [this](QKeyEvent* e) { return handleKey(e); },
      .contextMenu =
          [this](int row, const QPoint& at) {
            ArtworkMenu* menu = menuFor(row).release();
            if (!menu) return;
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
          },
      .acceptsDrops = [this] { return services_.exhibitions.drop && window_.filter().exhibitionID.has_value(); },
      .drop =
          [this](const QMimeData& data, int row) {
            const auto& exhibition = window_.filter().exhibitionID;
            if (!services_.exhibitions.drop || !exhibition) return false;
            const auto order = [&] {
              const Exhibition* e = window_.model().state().exhibition(*exhibition);
              return e ? e->artworkIDs : std::vector<std::string>{};
            };
            const auto before = order();
            const bool dropped = services_.exhibitions.drop(*exhibition, data, model_->id(row));
            // The grid reflows with a spring when the model reports the
            // reorder, after this turn; a drop that changed nothing asks for
            // no motion, lest a later edit take it.
            reorderReport_ = dropped && order() != before;
            return dropped;
          },
  });
  view_->viewport()->installEventFilter(this);

  reflow_.setSingleShot(true);
  reflow_.setInterval(int(reflowDelay.count()));
  connect(&reflow_, &QTimer::timeout, this,
          [this] { view_->setColumnCount(count(pendingWidth_, window_.tileSize()), Curve::springOf(0.42, 0.86)); });

  connect(&model, &AppModel::libraryChanged, this, &LibraryGrid::libraryChanged);
  connect(&model.walletSync(), &WalletSync::syncingWalletsChanged, this, &LibraryGrid::refreshEmpty);
  connect(&window_, &LibraryWindow::filterChanged, this, [this] { relist(); });
  connect(&window_, &LibraryWindow::tileSizeChanged, this, &LibraryGrid::tileSizeChanged);
  connect(&window_.windowState(), &LibraryWindowState::selectionChanged, this, &LibraryGrid::selectionChanged);
  connect(&window_.windowState(), &LibraryWindowState::sidebarChanged, this, &LibraryGrid::refreshEmpty);
  connect(bar_, &SelectionBar::layoutChanged, this, &LibraryGrid::placeBar);
  setFocusProxy(view_);
  relist();
  selectionChanged();
}

LibraryGrid::~LibraryGrid() {
  // The view and delegate paint from the loader: they go first, unwatched.
  view_->viewport()->removeEventFilter(this);
  delete stack_;
}

int LibraryGrid::count(double width, double tileSize) {
  const double q = (width - 2 * LibraryGridView::sideMargin + LibraryGridView::columnSpacing) /
                   (tileSize + LibraryGridView::columnSpacing);
  if (!std::isfinite(q)) return 1;
  const double n = std::trunc(q);
  return n >= 2 ? int(std::min(n, 1000.0)) : 1;
}

const std::vector<std::string>& LibraryGrid::items() const { return model_->ids(); }
int LibraryGrid::columnCount() const { return view_->columnCount(); }
bool LibraryGrid::showsEmptyView() const { return stack_->currentIndex() == 1; }

const Artwork* LibraryGrid::artworkAt(int row) const {
  if (row < 0 || row >= model_->rowCount()) return nullptr;
  const auto& artworks = window_.model().state().artworks;
  const auto it = artworks.find(model_->id(row));
  return it == artworks.end() ? nullptr : &it->second;
}

bool LibraryGrid::filtered() const {
  LibraryFilter base = window_.filter();
  base.chain.reset();
  base.platform.reset();
  base.mediaKind.reset();
  base.artist.reset();
  base.collection.reset();
  base.search.clear();
  base.exhibitionID.reset();
  base.format.reset();
  return !(base == window_.filter());
}

std::optional<Wallet> LibraryGrid::artistWalletWithoutContracts() const {
  const auto& walletID = window_.filter().walletID;
  if (!walletID) return std::nullopt;
  for (const Wallet& w : window_.model().state().wallets) {
    if (w.id != *walletID) continue;
    const bool artist = w.role == WalletRole::artist;
    const bool noContracts = !w.collectionContracts || w.collectionContracts->empty();
    if (artist && w.family != ChainFamily::tezos && noContracts) return w;
    return std::nullopt;
  }
  return std::nullopt;
}

void LibraryGrid::relist(bool byRows) {
  const LibraryFilter& filter = window_.filter();
  const LibraryListing& listing = window_.listing();
  // Kept between lists for its memory: a fresh one faults in its pages.
  std::vector<std::string_view>& ids = listed_;
  ids.clear();
  for (const auto p : listing.positionsFor(filter)) ids.push_back(listing.works()[p].artwork->id);
  if (LibraryListing::mayRepeat(filter)) {
    model_->setIds(ids, byRows);
  } else {
    model_->setDistinctIds(ids, byRows);
  }
  ids.clear();  // views into the library
  window_.windowState().lendListed(*model_, model_->ids());
  view_->viewport()->update();
  refreshEmpty();
}

void LibraryGrid::libraryChanged(const LibraryChange& change) {
  // Lists change only with what the filter tests; tiles show the rest.
  using A = LibraryChange::Aspect;
  // The report a drop asked for is the next one of the exhibitions; one of
  // something else may come first.
  const bool reorder = change.exhibitions && std::exchange(reorderReport_, false);
  if (change.mayRelist(window_.filter())) {
    if (reorder) view_->moveOnNextReset(LibraryGridView::reflowSpring());
    relist(true);
    view_->moveOnNextReset(std::nullopt);
  }
  if (change.settings) policyChanged();
  if (change.everything) return;
  if (change.namedCount() * 4 >= std::size_t(model_->rowCount())) return model_->changedAll();
  std::vector<std::string> ids;
  ids.reserve(change.namedCount());
  // A tile doesn't show whether its work is hidden: the relist did all.
  change.forEachArtwork([&](std::string_view id, std::uint8_t how) {
    if (how != A::hidden) ids.emplace_back(id);
  });
  model_->changed(ids);
}

void LibraryGrid::policyChanged() {
  const AnimationPolicy policy = window_.model().state().settings.animation;
  if (policy == policy_) return;
  policy_ = policy;
  // Tiles out of sight paint the new look when they come into it.
  const auto [first, last] = view_->visibleRows();
  std::vector<std::string> live;
  for (int row = std::max(first, 0); row <= last; ++row) {
    if (const Artwork* a = artworkAt(row); a && a->isLive()) live.push_back(model_->id(row));
  }
  model_->changed(live);
}

void LibraryGrid::refreshEmpty() {
  const bool empty = model_->rowCount() == 0;
  if (empty) {
    empty_->update(filtered(), window_.emptyHint(), artistWalletWithoutContracts(), qt::str(window_.filter().search));
  }
  stack_->setCurrentIndex(empty ? 1 : 0);
}

void LibraryGrid::selectionChanged() {
  const bool any = !window_.windowState().selection().empty();
  // The bar slides up from the bottom edge fading in, and the padding under
  // the grid grows, in one spring; clearing reverses both.
  const Curve spring = barSpring();
  view_->setBottomMargin(any ? LibraryGridView::bottomMarginWithBar : LibraryGridView::bottomMargin, spring);
  view_->selectionChanged();
  bar_->setExhibition(window_.filter().exhibitionID);
  // The bar draws its shadow and controls: a still copy of it moves.
  const QPointF below(0, bar_->height() + barBottomPadding);
  if (any && bar_->isHidden()) {
    bar_->setVisible(true);
    bar_->raise();
    placeBar();
    motion::enterAsSnapshot(bar_, 1, spring, below);
  } else if (any) {
    placeBar();
  } else if (!bar_->isHidden()) {
    motion::leaveAsSnapshot(bar_, 1, spring, below);
    bar_->hide();
  }
}

void LibraryGrid::placeBar() {
  if (bar_->isHidden()) return;
  bar_->fitTo(width());
  // The bar's own margins hold its shadow.
  motion::place(bar_, QPoint((width() - bar_->width()) / 2, height() - bar_->height() - barBottomPadding + 14));
}

void LibraryGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeBar();
}

bool LibraryGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::Resize) {
    // The grid area's whole width, the scroll bar's margin included.
    widthChanged(view_->width());
  }
  return QWidget::eventFilter(watched, event);
}

void LibraryGrid::widthChanged(int width) {
  if (width == width_ && measured_) return;
  width_ = width;
  if (!measured_) {
    measured_ = true;
    view_->setColumnCount(count(width, window_.tileSize()));
    return;
  }
  // A live resize changes the columns once, after the width settles.
  pendingWidth_ = width;
  reflow_.start();
}

void LibraryGrid::tileSizeChanged() {
  if (measured_) view_->setColumnCount(count(width_, window_.tileSize()), Curve::springOf(0.25, 0.85));
}

}  // namespace tavolune
