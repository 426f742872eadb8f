#include "app/library/WalletList.hpp"

#include "app/components/Divider.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/library/WalletRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "core/text/Phrases.hpp"

#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tavolune {

WalletList::WalletList(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  ticker_.setSingleShot(true);
  connect(&ticker_, &QTimer::timeout, this, &WalletList::retitle);
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

std::optional<std::chrono::milliseconds> WalletList::untilNextWording(const std::vector<Wallet>& wallets, Date now) {
  // The wording counts whole units of the largest that fits: it changes
  // when the age passes the next whole second, minute, hour or day. Longer
  // units are looked at again each hour.
  std::optional<double> soonest;
  for (const Wallet& w : wallets) {
    if (!w.lastSync) continue;
    const double age = std::chrono::duration<double>(now - *w.lastSync).count();
    double wait = 1;  // a time ahead of the clock counts down by seconds
    if (age >= 0) {
      const double unit = age < 60 ? 1 : age < 3'600 ? 60 : age < 86'400 ? 3'600 : 86'400;
      wait = unit - std::fmod(age, unit);
    }
    soonest = std::min(soonest.value_or(wait), wait);
  }
  if (!soonest) return std::nullopt;
  // Just past the change, so that the wake finds the new wording.
  const double seconds = std::clamp(*soonest + 0.05, 0.2, 3'600.0);
  return std::chrono::milliseconds(std::llround(seconds * 1000));
}

void WalletList::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  retitle();
}

void WalletList::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  ticker_.stop();  // idle while nobody looks
}

void WalletList::retitle() {
  const LibraryState& s = model_.state();
  const Date now = model_.now();
  const auto& syncing = model_.walletSync().syncingWallets();
  for (const Wallet& w : s.wallets) {
    if (WalletRow* r = row(w.id)) r->setWallet(w, subtitle(w, s, now), syncing.contains(w.id));
  }
  schedule(now);
}

void WalletList::schedule(Date now) {
  const auto wait = isVisible() ? untilNextWording(model_.state().wallets, now) : std::nullopt;
  if (!wait) {
    ticker_.stop();
    return;
  }
  // Minutes and longer need no precision: let the system batch the wake.
  ticker_.setTimerType(*wait < std::chrono::seconds(60) ? Qt::CoarseTimer : Qt::VeryCoarseTimer);
  ticker_.start(*wait);
}

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
  const Date now = model_.now();
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
  schedule(now);
}

}  // namespace tavolune
