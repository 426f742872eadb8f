#include "app/library/LibraryWindow.hpp"

#include "app/library/LibraryDetailPage.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/library/LibrarySidebar.hpp"
#include "app/library/WalletsPage.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Motion.hpp"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>

namespace tavolune {

LibraryWindow::LibraryWindow(Services services, Hosted hosted, LibraryWindowState& state, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      hosted_(std::move(hosted)),
      state_(state),
      actions_(ArtworkActions::showNow(services_.show)),
      tileSize_(LibraryPages::tileSize()) {
  setMinimumSize(minimumContentSize);
  // The item the window opens on sets its filter now; the selection and the
  // focus that showLibrary(selecting:) set stay. A preview of a work that
  // has left the library would hold the keyboard with nothing shown.
  filter_ = LibraryPages::applying(state_.sidebar(), LibraryPages::initialFilter());
  if (state_.bigPreview() && !model().state().artworks.contains(*state_.bigPreview())) state_.setBigPreview({});

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  // The sidebar widens as far as the user drags it; the window's own
  // resizing goes to the detail column.
  split_ = new QSplitter(Qt::Horizontal, this);
  split_->setChildrenCollapsible(false);
  split_->setHandleWidth(0);
  row->addWidget(split_);
  sidebar_ = new LibrarySidebar(model(), state_, services_.openSettings, split_);
  if (hosted_.exhibitionsSection) sidebar_->setExhibitionsSection(hosted_.exhibitionsSection(*this));
  split_->addWidget(sidebar_);
  pages_ = new QStackedWidget(split_);
  split_->addWidget(pages_);
  split_->setStretchFactor(0, 0);
  split_->setStretchFactor(1, 1);
  split_->setSizes({LibraryPages::sidebarWidth(), minimumContentSize.width()});
  connect(split_, &QSplitter::splitterMoved, this, [this] { LibraryPages::setSidebarWidth(sidebar_->width()); });

  connect(&state_, &LibraryWindowState::sidebarChanged, this, &LibraryWindow::sidebarChanged);
  connect(&state_, &LibraryWindowState::focusedChanged, this, &LibraryWindow::focusChanged);
  connect(&state_, &LibraryWindowState::bigPreviewChanged, this, &LibraryWindow::refreshPreview);
  connect(&model(), &AppModel::libraryChanged, this, &LibraryWindow::libraryChanged);
  showPage();
  refreshPreview();
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::registerWith(WindowManager& windows, Services services, Hosted hosted) {
  if (!services.openSettings) {
    services.openSettings = [&windows] { windows.showSettings(QStringLiteral("general")); };
  }
  auto& state = LibraryWindowState::shared();
  QObject::connect(&windows, &WindowManager::librarySelectionRequested, &state, [&state](const QString& id) {
    state.setSelection({qt::str(id)});
    state.setFocused(qt::str(id));
  });
  windows.registerContent(QStringLiteral("library"),
                          [services, hosted, &state] { return new LibraryWindow(services, hosted, state); });
}

const LibraryListing& LibraryWindow::listing() const { return model().listing(); }

void LibraryWindow::setFilter(const LibraryFilter& filter) {
  if (filter == filter_) return;
  filter_ = filter;
  emit filterChanged();
}

std::optional<QString> LibraryWindow::emptyHint() const { return LibraryPages::emptyHint(state_.sidebar()); }

void LibraryWindow::setShowInspector(bool show, bool animated) {
  if (show == showInspector_) return;
  showInspector_ = show;
  emit showInspectorChanged(animated);
}

void LibraryWindow::setTileSize(double size) {
  const double clamped = LibraryPages::clampedTileSize(size);
  if (clamped == tileSize_) return;
  tileSize_ = clamped;
  LibraryPages::setTileSize(clamped);
  emit tileSizeChanged();
}

void LibraryWindow::sidebarChanged() {
  setFilter(LibraryPages::applying(state_.sidebar(), filter_));
  state_.setSelection({});
  state_.setFocused({});
  state_.setBigPreview({});
  showPage();
}

void LibraryWindow::focusChanged() {
  if (state_.focused() && !showInspector_) setShowInspector(true);
}

void LibraryWindow::libraryChanged(const LibraryChange& change) {
  // The page's title and count: Recently Shown lists what the displays showed.
  if (!change.everything && change.wallets.empty() && !change.exhibitions && !change.anyArtwork() &&
      !change.mayRelist(filter_)) {
    return;
  }
  if (state_.bigPreview() && !model().state().artworks.contains(*state_.bigPreview())) state_.setBigPreview({});
  if (detail_) detail_->refresh();
  refreshPreview();
}

void LibraryWindow::showPage() {
  const bool wallets = state_.sidebar() && state_.sidebar()->kind == SidebarItem::Kind::manageWallets;
  if (wallets && !wallets_) {
    wallets_ = new WalletsPage(model(), hosted_.addWalletField, pages_);
    pages_->addWidget(wallets_);
  }
  if (!wallets && !detail_) {
    detail_ = new LibraryDetailPage(*this, hosted_, pages_);
    pages_->addWidget(detail_);
  }
  pages_->setCurrentWidget(wallets ? static_cast<QWidget*>(wallets_) : detail_);
  // The wallets page lives only while chosen; the grid page keeps its grid.
  if (!wallets && wallets_) {
    delete wallets_;
    wallets_ = nullptr;
  }
  if (detail_) detail_->refresh();
}

void LibraryWindow::refreshPreview() {
  const auto& id = state_.bigPreview();
  const auto& artworks = model().state().artworks;
  const auto it = id ? artworks.find(*id) : artworks.end();
  const std::optional<std::string> shown = it == artworks.end() ? std::nullopt : id;
  if (shown == previewID_ && (preview_ || !shown)) return;
  previewID_ = shown;
  // Opening, it comes fading and growing from 0.96; closing, it leaves
  // fading and shrinking to 0.98 (spring 0.28, 0.86). A step to another
  // work replaces what the overlay holds in place: no copy of the window
  // to fade, so the next work shows within a frame.
  const Curve spring = Curve::springOf(0.28, 0.86);
  const bool stepping = preview_ && shown;
  if (preview_ && !stepping) motion::leaveAsSnapshot(preview_, 0.98, spring);
  delete preview_.data();
  if (shown && hosted_.largePreview) {
    preview_ = hosted_.largePreview(*this, it->second);
    if (preview_) {
      preview_->setParent(this);
      preview_->setGeometry(rect());
      preview_->show();
      preview_->raise();
      if (!stepping) motion::scaleFade(preview_, true, 0.96, spring);
    }
  }
}

void LibraryWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (preview_) preview_->setGeometry(rect());
}

void LibraryWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (appeared_) return;
  appeared_ = true;
  // Already open as the window shows, not sliding in.
  if (state_.focused()) setShowInspector(true, false);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect frame = screen->geometry();
    if (frame.height() > 0) {
      LibraryFilter f = filter_;
      f.screenAspect = double(frame.width()) / double(frame.height());
      setFilter(f);
    }
  }
}

}  // namespace tavolune
