#include "app/library/WalletList.hpp"

#include "app/components/Divider.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/library/WalletRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "core/text/Phrases.hpp"

#include <QVBoxLayout>

#include <chrono>

namespace tavolune {

WalletList::WalletList(AppModel& model, std::function<Date()> now, QWidget* parent)
    : QWidget(parent), model_(model), now_(std::move(now)) {
  column_ = new QVBoxLayout(this);
  column_->setContentsMargins(0, 0, 0, 0);
  column_->setSpacing(0);
  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.everything || !change.wallets.empty()) refresh();
  });
  connect(&model_.walletSync(), &WalletSync::syncingWalletsChanged, this, &WalletList::refresh);
  refresh();
}

WalletList::~WalletList() = default;

QString WalletList::subtitle(const Wallet& wallet, const LibraryState& state, Date now) {
  QStringList parts;
  parts << qt::str(wallet.shortAddress());
  const auto owned = state.ownerships.find(wallet.id);
  parts << LibraryPages::artworkCount(owned == state.ownerships.end() ? 0 : owned->second.size());
  if (wallet.lastSync) {
    const auto offset = std::chrono::duration<double>(*wallet.lastSync - now).count();
    parts << QStringLiteral("synced ") + qt::str(text::relativeTime(offset));
  }
  if (wallet.lastError) parts << qt::str(*wallet.lastError);
  return parts.join(QStringLiteral(" \u00b7 "));
}

QString WalletList::uncheckedLine(const Wallet& wallet) {
  if (!wallet.uncheckedChains || wallet.uncheckedChains->empty()) return {};
  std::vector<std::string> names;
  for (Chain c : *wallet.uncheckedChains) names.emplace_back(displayName(c));
  return QStringLiteral("Not checked: ") + qt::str(text::andList(names)) +
         QStringLiteral(" (their explorer blocks apps)");
}

WalletRow* WalletList::row(const Uuid& walletID) const {
  auto it = rows_.find(walletID);
  return it == rows_.end() ? nullptr : it->second;
}

void WalletList::refresh() {
  const LibraryState& s = model_.state();
  const Date now = now_();
  std::unordered_map<Uuid, WalletRow*> kept;
  // Rows and dividers alternate in the column; rebuild only the order.
  while (auto* item = column_->takeAt(0)) {
    if (auto* divider = dynamic_cast<Divider*>(item->widget())) delete divider;
    delete item;
  }
  for (const Wallet& w : s.wallets) {
    if (kept.contains(w.id)) continue;
    WalletRow* r = nullptr;
    if (auto it = rows_.find(w.id); it != rows_.end()) {
      r = it->second;
      rows_.erase(it);
    } else {
      r = new WalletRow(model_, w, this);
    }
    r->setWallet(w, subtitle(w, s, now), model_.walletSync().syncingWallets().contains(w.id));
    if (!kept.empty()) {
      auto* divider = new Divider(this);
      column_->addWidget(divider);
      divider->show();
    }
    column_->addWidget(r);
    r->show();
    kept.emplace(w.id, r);
  }
  for (auto& [id, r] : rows_) r->deleteLater();  // a removed row may be the sender of this change
  for (auto& [id, r] : rows_) r->hide();
  rows_ = std::move(kept);
}

}  // namespace tavolune
