#pragma once
// The app model's wallet sync: adding wallets (resolving the text typed),
// reading them by hand, all at once and on a timer, at most three at a
// time, and the collection contracts an artist wallet also reads. Each
// sync's result is merged into the library through the model. GUI thread
// only; resolving and syncing run on the pool.

#include "app/model/LibraryEditor.hpp"
#include "app/model/ModelOptions.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/base/Uuid.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/network/AddressResolver.hpp"

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavolune {

class MediaServices;

class WalletSync final : public QObject {
  Q_OBJECT

 public:
  // Wallets synced at the same time; each reads up to seven chains at once.
  static constexpr std::size_t maxWalletsSyncing = 3;
  static inline const std::string invalidContractNotice = "Invalid contract address.";

  // What addWallet() brought: the number of works, or why the text could
  // not be resolved (nothing was added then).
  struct AddWalletOutcome {
    std::size_t count = 0;
    std::exception_ptr error{};
  };

  // Made by the app model, which outlives it.
  WalletSync(const ModelOptions& options, LibraryEditor& library, MediaServices& media, QObject* parent = nullptr);
  // Stops running syncs; their results are dropped.
  ~WalletSync() override;

  const std::unordered_set<Uuid>& syncingWallets() const { return syncing_; }

  // Resolves the text to an address and adds a wallet for it, or syncs the
  // wallet already watching that address in that role.
  void addWallet(std::string text, WalletRole role, std::function<void(AddWalletOutcome)> done = {});
  // Syncs one wallet; done runs when its result is in (at once for an
  // unknown wallet or one that is syncing already).
  void sync(const Uuid& walletID, std::function<void()> done = {});
  void syncAll(std::function<void()> done = {});
  // Syncs, one after the other, every wallet never synced or last synced
  // more than six hours ago.
  void syncStale(std::function<void()> done = {});
  // syncStale() every ten minutes from now on.
  void startAutoSync();

  void addCollectionContract(const std::string& text, const Uuid& walletID, std::function<void()> done = {});
  void removeCollectionContract(const std::string& contract, const Uuid& walletID, std::function<void()> done = {});

  // "^([a-z]+:)?0x[0-9a-f]{40}$" after trimming and lowercasing; the
  // normalised contract, or nothing.
  static std::optional<std::string> normalizedContract(const std::string& text);

 signals:
  void syncingWalletsChanged();

 private:
  struct SyncJob {
    Wallet wallet;
    std::stop_source stop{};
    std::vector<std::function<void()>> waiters{};
    bool started = false;
    bool again = false;  // the wallet's contracts changed while it synced
  };

  void startSync(const Uuid& walletID);
  void startQueuedSyncs();
  void finishSync(const Uuid& walletID, SyncResult result);
  void finishAddWallet(const std::string& text, WalletRole role, const ResolvedAddress& resolved,
                       std::function<void(AddWalletOutcome)> done);
  // Edits the wallet's contracts, then reads it again.
  void editContracts(const Uuid& walletID, LibraryWriter::Patch patch, std::function<void()> done);
  void syncInTurn(std::shared_ptr<std::vector<Uuid>> ids, std::size_t next, std::function<void()> done);
  const Wallet* wallet(const Uuid& id) const;

  const ModelOptions options_;
  LibraryEditor& library_;
  MediaServices& media_;
  // Workers' results come back through it; closed first in the destructor.
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
  std::unordered_set<Uuid> syncing_;
  std::unordered_map<Uuid, SyncJob> jobs_;
  std::deque<Uuid> queued_;  // waiting for one of the sync slots
  std::size_t running_ = 0;
  QTimer autoSyncTimer_;
};

}  // namespace tavolune
