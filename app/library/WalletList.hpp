#pragma once
// The rows of the wallets page, one per watched wallet in stored order: the
// wallet's symbol, label (with "Artist" for an artist wallet), a subtitle of
// address, number of works, last sync and last error, the chains the last
// sync could not read, a refresh button (a spinner while it syncs) and a
// remove button; under an artist wallet of the EVM family its contract
// editor. Rows are kept by wallet id and updated in place, so a field being
// typed in survives every model change. While shown, the "synced …" times
// move on as the model's clock does: a timer wakes when the next of them
// reads otherwise, and stops while the list is hidden. GUI thread only.

#include "core/base/Date.hpp"
#include "core/model/LibraryState.hpp"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <optional>
#include <unordered_map>
#include <vector>

class QVBoxLayout;

namespace tavolune {

class AppModel;
class WalletRow;

class WalletList final : public QWidget {
  Q_OBJECT
 public:
  explicit WalletList(AppModel& model, QWidget* parent = nullptr);
  ~WalletList() override;

  // "0x1234…abcd · 12 artworks · synced 3 hours ago · <last error>".
  static QString subtitle(const Wallet& wallet, const LibraryState& state, Date now);
  // How long until the first of these "synced …" times reads otherwise;
  // nothing when none is shown.
  static std::optional<std::chrono::milliseconds> untilNextWording(const std::vector<Wallet>& wallets, Date now);
  // "Not checked: Base and Polygon (their explorer blocks apps)", or empty.
  static QString uncheckedLine(const Wallet& wallet);

  // The row of a wallet, when listed.
  WalletRow* row(const Uuid& walletID) const;
  std::size_t rowCount() const { return rows_.size(); }
  // Wakes the list when a "synced …" time is due to read otherwise.
  const QTimer& ticker() const { return ticker_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void refresh();
  // The subtitles again, for the time that passed.
  void retitle();
  void schedule(Date now);

  AppModel& model_;
  QTimer ticker_;
  QVBoxLayout* column_;
  std::unordered_map<Uuid, WalletRow*> rows_;
};

}  // namespace tavolune
