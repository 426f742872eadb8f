#include "app/library/WalletRow.hpp"

#include "app/components/LimitedText.hpp"
#include "app/components/PlainText.hpp"
#include "app/components/Spinner.hpp"
#include "app/components/WalletIcon.hpp"
#include "app/library/ArtistContracts.hpp"
#include "app/library/WalletList.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/SmallCaps.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {
namespace {

QToolButton* iconButton(const char* symbol, const QString& help, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setIcon(Symbols::icon(symbol));
  b->setAutoRaise(true);
  b->setToolTip(help);
  b->setAccessibleName(help);
  return b;
}

}  // namespace

WalletRow::WalletRow(AppModel& model, const Wallet& wallet, QWidget* parent)
    : QWidget(parent), model_(model), id_(wallet.id) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 4, 0, 4);
  column->setSpacing(4);
  auto* row = new QHBoxLayout;
  row->setSpacing(10);

  auto* icon = new WalletIcon(wallet, true, this);
  icon->setFixedSize(20, 20);
  row->addWidget(icon);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  auto* nameLine = new QHBoxLayout;
  nameLine->setSpacing(6);
  label_ = plaintext::label({}, this);
  nameLine->addWidget(label_);
  artist_ = new SmallCaps(QStringLiteral("Artist"), Theme::accent(), this);
  nameLine->addWidget(artist_);
  nameLine->addStretch(1);
  texts->addLayout(nameLine);
  // The address, the count and "synced …" lead, so a long error is what
  // the two lines cut off.
  subtitle_ = new LimitedText(2, this);
  subtitle_->setFont(Theme::caption());
  subtitle_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  texts->addWidget(subtitle_);
  unchecked_ = plaintext::label({}, this);
  unchecked_->setFont(Theme::caption());
  unchecked_->setWordWrap(true);
  QPalette tertiary = unchecked_->palette();
  QColor t = tertiary.color(QPalette::WindowText);
  t.setAlphaF(0.4);
  tertiary.setColor(QPalette::WindowText, t);
  unchecked_->setPalette(tertiary);
  texts->addWidget(unchecked_);
  row->addLayout(texts, 1);

  spinner_ = new Spinner(Spinner::Size::small, this);
  row->addWidget(spinner_);
  refresh_ = iconButton("arrow.clockwise", QStringLiteral("Refresh"), this);
  connect(refresh_, &QToolButton::clicked, this, [this] { model_.walletSync().sync(id_); });
  row->addWidget(refresh_);
  remove_ = iconButton("trash", QStringLiteral("Remove Wallet"), this);
  connect(remove_, &QToolButton::clicked, this, &WalletRow::remove);
  row->addWidget(remove_);
  column->addLayout(row);

  if (wallet.isArtist() && wallet.family == ChainFamily::evm) {
    contracts_ = new ArtistContracts(model_, wallet, this);
    column->addWidget(contracts_);
  }
}

bool WalletRow::isSyncing() const { return !spinner_->isHidden(); }
bool WalletRow::showsArtistBadge() const { return !artist_->isHidden(); }

void WalletRow::setWallet(const Wallet& wallet, const QString& subtitle, bool syncing) {
  label_->setText(qt::str(wallet.label));
  artist_->setVisible(wallet.isArtist());
  subtitle_->setFullText(subtitle);
  QPalette p = palette();
  p.setColor(QPalette::WindowText,
             wallet.lastError ? QColor(255, 149, 0) : palette().color(QPalette::PlaceholderText));
  subtitle_->setPalette(p);
  subtitle_->setToolTip(plaintext::toolTip(subtitle));
  const QString unchecked = WalletList::uncheckedLine(wallet);
  unchecked_->setText(unchecked);
  unchecked_->setVisible(!unchecked.isEmpty());
  spinner_->setVisible(syncing);
  refresh_->setVisible(!syncing);
  if (contracts_) contracts_->setWallet(wallet);
}

void WalletRow::remove() {
  const Uuid id = id_;
  // The model's change deletes this row: touch nothing after it.
  model_.removeWallet(id);
}

}  // namespace tavolune
