#include "app/library/WalletsPage.hpp"

#include "app/components/FormSection.hpp"
#include "app/components/Spinner.hpp"
#include "app/library/WalletList.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Theme.hpp"

#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {

WalletsPage::WalletsPage(AppModel& model, std::function<QWidget*()> addWalletField, QWidget* parent)
    : QWidget(parent), model_(model), addWalletField_(std::move(addWalletField)) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* content = new QWidget(scroll);
  column_ = new QVBoxLayout(content);
  column_->setContentsMargins(24, 20, 24, 20);
  column_->setSpacing(22);
  auto* title = new QLabel(QStringLiteral("Wallets"), content);
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
  titleFont.setWeight(QFont::Bold);
  title->setFont(titleFont);
  column_->addWidget(title);

  wallets_ = new FormSection(QStringLiteral("Your Wallets"), content);
  wallets_->headerRow().addStretch(1);
  spinner_ = new Spinner(Spinner::Size::small, wallets_);
  wallets_->headerRow().addWidget(spinner_);
  refreshAll_ = new QToolButton(wallets_);
  refreshAll_->setText(QStringLiteral("Refresh All"));
  refreshAll_->setAutoRaise(true);
  refreshAll_->setCursor(Qt::PointingHandCursor);
  QPalette link = refreshAll_->palette();
  link.setColor(QPalette::ButtonText, Theme::accent());
  refreshAll_->setPalette(link);
  connect(refreshAll_, &QToolButton::clicked, this, [this] { model_.walletSync().syncAll(); });
  wallets_->headerRow().addWidget(refreshAll_);
  auto* rows = new QWidget(wallets_);
  auto* rowsColumn = new QVBoxLayout(rows);
  rowsColumn->setContentsMargins(0, 0, 0, 0);
  noWallets_ = new QLabel(QStringLiteral("No Wallets"), rows);
  noWallets_->setForegroundRole(QPalette::PlaceholderText);
  noWallets_->setContentsMargins(0, 6, 0, 6);
  rowsColumn->addWidget(noWallets_);
  list_ = new WalletList(model_, rows);
  rowsColumn->addWidget(list_);
  wallets_->addRow(rows);
  wallets_->setFooter(QStringLiteral("Wallets refresh on their own at launch and every 6 hours."));
  column_->addWidget(wallets_);
  column_->addStretch(1);

  scroll->setWidget(content);
  outer->addWidget(scroll);

  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.everything || !change.wallets.empty()) refresh();
  });
  connect(&model_.walletSync(), &WalletSync::syncingWalletsChanged, this, &WalletsPage::refresh);
  placeAddSection(model_.state().wallets.empty());
  refresh();
}

bool WalletsPage::showsSpinner() const { return !spinner_->isHidden(); }

void WalletsPage::placeAddSection(bool onTop) {
  // Each place has its own field: moving starts afresh.
  if (add_) {
    column_->removeWidget(add_);
    add_->hide();
    add_->deleteLater();  // its field may be the one whose add moved it
  }
  add_ = new FormSection(QStringLiteral("Add a Wallet"), wallets_->parentWidget());
  QWidget* field = addWalletField_ ? addWalletField_() : nullptr;
  if (field) add_->addRow(field);
  add_->card().setVisible(field != nullptr);
  add_->setFooter(
      QStringLiteral("Ethereum (+ Base, Optimism, Arbitrum, Polygon), Tezos, and Bitcoin Ordinals. Read-only: no "
                     "wallet connection, no signatures."));
  column_->insertWidget(column_->indexOf(wallets_) + (onTop ? 0 : 1), add_);
  add_->show();
  addOnTop_ = onTop;
}

void WalletsPage::refresh() {
  const bool empty = model_.state().wallets.empty();
  if (empty != addOnTop_) placeAddSection(empty);
  noWallets_->setVisible(empty);
  list_->setVisible(!empty);
  const bool syncing = !model_.walletSync().syncingWallets().empty();
  spinner_->setVisible(syncing);
  refreshAll_->setVisible(!syncing && !empty);
}

}  // namespace tavolune
