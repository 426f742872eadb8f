#pragma once
// The rows of the wallets page, one per watched wallet in stored order: the
// wallet's symbol, label (with "Artist" for an artist wallet), a subtitle of
// address, number of works, last sync and last error, the chains the last
// sync could not read, a refresh button (a spinner while it syncs) and a
// remove button; under an artist wallet of the EVM family its contract
// editor. Rows are kept by wallet id and updated in place, so a field being
// typed in survives every model change. GUI thread only.

#include "core/base/Date.hpp"
#include "core/model/LibraryState.hpp"

#include <QString>
#include <QWidget>

#include <functional>
#include <unordered_map>

class QVBoxLayout;

namespace tavolune {

class AppModel;
class WalletRow;

class WalletList final : public QWidget {
  Q_OBJECT
 public:
  explicit WalletList(AppModel& model, std::function<Date()> now = &tavolune::now, QWidget* parent = nullptr);
  ~WalletList() override;

  // "0x1234…abcd · 12 artworks · synced 3 hours ago · <last error>".
  static QString subtitle(const Wallet& wallet, const LibraryState& state, Date now);
  // "Not checked: Base and Polygon (their explorer blocks apps)", or empty.
  static QString uncheckedLine(const Wallet& wallet);

  // The row of a wallet, when listed.
  WalletRow* row(const Uuid& walletID) const;
  std::size_t rowCount() const { return rows_.size(); }

 private:
  void refresh();

  AppModel& model_;
  std::function<Date()> now_;
  QVBoxLayout* column_;
  std::unordered_map<Uuid, WalletRow*> rows_;
};

}  // namespace tavolune
