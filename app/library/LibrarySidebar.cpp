#include "app/library/LibrarySidebar.hpp"

#include "app/components/WalletIcon.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"
#include "core/model/LibraryListing.hpp"

#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

LibraryFilter scoped(LibraryScope scope) {
  LibraryFilter f;
  f.scope = scope;
  return f;
}


}  // namespace

QLabel* LibrarySidebar::sectionHeader(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setTextFormat(Qt::PlainText);
  QFont f = Theme::caption();
  f.setWeight(QFont::DemiBold);
  l->setFont(f);
  l->setForegroundRole(QPalette::PlaceholderText);
  l->setContentsMargins(12, 12, 12, 4);
  return l;
}

LibrarySidebar::LibrarySidebar(AppModel& model, LibraryWindowState& state,
                               std::function<void()> openSettings, QWidget* parent)
    : Pane(Qt::RightEdge, parent), model_(model), state_(state) {
  setMinimumWidth(minWidth);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  SidebarRow::describeForAssistiveTechnology();
  auto* list = new QWidget(scroll);
  list->setObjectName(QLatin1String(SidebarRow::listName));
  list->setAccessibleName(QStringLiteral("Sidebar"));
  auto* column = new QVBoxLayout(list);
  column->setContentsMargins(0, 8, 0, 8);
  column->setSpacing(0);

  column->addWidget(fixedRow(SidebarItem::all(), "square.grid.2x2", "Collection"));
  column->addWidget(fixedRow(SidebarItem::works(), "paintbrush.pointed", "My Works"));
  column->addWidget(fixedRow(SidebarItem::onDesktop(), "star", "My Selection"));
  column->addWidget(fixedRow(SidebarItem::recent(), "clock.arrow.circlepath", "Recently Shown"));
  column->addWidget(fixedRow(SidebarItem::hidden(), "eye.slash", "Hidden Artworks"));

  exhibitions_ = new QVBoxLayout;
  exhibitions_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(exhibitions_);

  column->addWidget(sectionHeader(QStringLiteral("Wallets"), list));
  walletRows_ = new QVBoxLayout;
  walletRows_->setContentsMargins(0, 0, 0, 0);
  walletRows_->setSpacing(0);
  column->addLayout(walletRows_);
  manage_ = new SidebarRow(QStringLiteral("plus.circle"), QStringLiteral("Add or Manage\u2026"), list);
  manage_->setSecondary(true);
  connect(manage_, &SidebarRow::clicked, this, [this] { state_.setSidebar(SidebarItem::manageWallets()); });
  column->addWidget(manage_);
  column->addStretch(1);
  scroll->setWidget(list);
  list->setAutoFillBackground(false);  // setWidget turns it on; the pane paints the tint
  outer->addWidget(scroll, 1);

  auto* footer = new QWidget(this);
  auto* bar = new QHBoxLayout(footer);
  bar->setContentsMargins(16, 12, 16, 12);
  settings_ = new QToolButton(footer);
  settings_->setText(QStringLiteral("Settings"));
  settings_->setIcon(Symbols::icon("gearshape"));
  settings_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  settings_->setAutoRaise(true);
  settings_->setToolTip(QStringLiteral("Settings (Ctrl+,)"));
  settings_->setForegroundRole(QPalette::PlaceholderText);
  connect(settings_, &QToolButton::clicked, this, [open = std::move(openSettings)] {
    if (open) open();
  });
  bar->addWidget(settings_);
  bar->addStretch(1);
  outer->addWidget(footer);

  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    // Counts leave out hidden works; "My Selection" counts the desktop's
    // pool, which an exhibition on show holds instead.
    using A = LibraryChange::Aspect;
    if (change.everything || !change.wallets.empty() || change.displays || change.exhibitions ||
        change.anyArtwork(A::hidden | A::selection)) {
      refresh();
    }
  });
  connect(&model_.walletSync(), &WalletSync::syncingWalletsChanged, this, &LibrarySidebar::refreshWallets);
  connect(&state_, &LibraryWindowState::sidebarChanged, this, &LibrarySidebar::refreshSelection);
  refresh();
}

SidebarRow* LibrarySidebar::fixedRow(SidebarItem item, const char* symbol, const char* title) {
  auto* row = new SidebarRow(QLatin1String(symbol), QLatin1String(title), this);
  connect(row, &SidebarRow::clicked, this, [this, item] { state_.setSidebar(item); });
  fixed_[item.kind] = row;
  return row;
}

void LibrarySidebar::setExhibitionsSection(QWidget* section) {
  while (auto* item = exhibitions_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  if (section) exhibitions_->addWidget(section);
}

SidebarRow* LibrarySidebar::row(const SidebarItem& item) const {
  using K = SidebarItem::Kind;
  if (item.kind == K::manageWallets) return manage_;
  if (item.kind == K::exhibition) return nullptr;
  SidebarRow* r = nullptr;
  if (item.kind == K::wallet) {
    auto it = wallets_.find(item.id);
    r = it == wallets_.end() ? nullptr : it->second;
  } else {
    r = fixed_.at(item.kind);
  }
  return r && !r->isHidden() ? r : nullptr;
}

void LibrarySidebar::refresh() {
  const LibraryState& s = model_.state();
  const LibraryListing& listing = model_.listing();
  using K = SidebarItem::Kind;
  fixed_[K::all]->setCount(listing.count(scoped(LibraryScope::collection)));
  const std::size_t works = listing.count(scoped(LibraryScope::works));
  fixed_[K::works]->setCount(works);
  fixed_[K::works]->setVisible(works > 0);
  fixed_[K::onDesktop]->setCount(s.onDesktop.empty() ? std::nullopt
                                                     : std::optional<std::size_t>(listing.desktopPoolCount()));
  fixed_[K::recent]->setVisible(!s.recentlyShown.empty());
  refreshWallets();
  refreshSelection();
}

void LibrarySidebar::refreshWallets() {
  const LibraryState& s = model_.state();
  const LibraryListing& listing = model_.listing();
  std::unordered_map<Uuid, SidebarRow*> kept;
  int position = 0;
  for (const Wallet& w : s.wallets) {
    if (kept.contains(w.id)) continue;
    SidebarRow* r = nullptr;
    if (auto it = wallets_.find(w.id); it != wallets_.end()) {
      r = it->second;
      wallets_.erase(it);
    } else {
      r = new SidebarRow(qt::str(WalletIcon::symbol(w)), {}, this);
      connect(r, &SidebarRow::clicked, this, [this, id = w.id] { state_.setSidebar(SidebarItem::wallet(id)); });
    }
    const QString label = qt::str(w.label);
    r->setTitle(label);
    r->setHelp((w.isArtist() ? QStringLiteral("Artworks created by ") : QStringLiteral("Artworks owned by ")) +
               label);
    LibraryFilter byWallet;
    byWallet.walletID = w.id;
    r->setCount(listing.count(byWallet));
    r->setSyncing(model_.walletSync().syncingWallets().contains(w.id));
    if (walletRows_->indexOf(r) != position) {
      walletRows_->removeWidget(r);
      walletRows_->insertWidget(position, r);
    }
    r->show();
    ++position;
    kept.emplace(w.id, r);
  }
  for (auto& [id, r] : wallets_) delete r;
  wallets_ = std::move(kept);
  refreshSelection();
}

void LibrarySidebar::refreshSelection() {
  const auto& current = state_.sidebar();
  for (auto& [kind, r] : fixed_) r->setSelected(current && current->kind == kind);
  for (auto& [id, r] : wallets_) r->setSelected(current && *current == SidebarItem::wallet(id));
  manage_->setSelected(current && current->kind == SidebarItem::Kind::manageWallets);
}

}  // namespace tavolune
