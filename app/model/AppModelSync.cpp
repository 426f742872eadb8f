// AppModel: adding and syncing wallets, collection contracts.
#include "app/model/AppModel.hpp"

#include "app/qt/Convert.hpp"

#include <QRegularExpression>
#include <QThreadPool>

#include <algorithm>
#include <cctype>

namespace tavolune {
namespace {

std::string asciiLower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Runs f on the model on the GUI thread, unless the model is gone by then.
template <class F>
void postTo(const std::shared_ptr<ResultMailbox>& mailbox, AppModel* model, F f) {
  mailbox->post([model, f = std::move(f)]() mutable { f(*model); });
}

}  // namespace

std::optional<std::string> AppModel::normalizedContract(const std::string& text) {
  static const QRegularExpression pattern(QStringLiteral("\\A(?:[a-z]+:)?0x[0-9a-f]{40}\\z"));
  const QString contract = qt::str(text).trimmed().toLower();
  if (!pattern.match(contract).hasMatch()) return std::nullopt;
  return qt::str(contract);
}

// --- adding ---

void AppModel::addWallet(std::string text, WalletRole role, std::function<void(AddWalletOutcome)> done) {
  if (!done) done = [](AddWalletOutcome) {};
  AddressResolver resolver(options_.http, options_.resolver, {});
  pool().start([mailbox = mailbox_, self = this, text = std::move(text), role, done, resolver] {
    try {
      ResolvedAddress resolved = resolver.resolve(text);
      postTo(mailbox, self,
             [text, role, done, resolved](AppModel& m) { m.finishAddWallet(text, role, resolved, done); });
    } catch (...) {
      postTo(mailbox, self, [done, error = std::current_exception()](AppModel&) { done({0, error}); });
    }
  });
}

void AppModel::finishAddWallet(const std::string& text, WalletRole role, const ResolvedAddress& resolved,
                               std::function<void(AddWalletOutcome)> done) {
  const std::string address = asciiLower(resolved.address);
  for (const auto& w : state_.wallets) {
    if (asciiLower(w.address) != address || w.role.value_or(WalletRole::collector) != role) continue;
    // Watched already: read it again instead.
    sync(w.id, [this, id = w.id, done] {
      auto it = state_.ownerships.find(id);
      done({it == state_.ownerships.end() ? 0 : it->second.size(), {}});
    });
    return;
  }

  const Wallet wallet = Wallet::make(Uuid::random(), resolved.name.value_or(shortAddress(resolved.address)), text,
                                     resolved.address, resolved.name, resolved.family, std::nullopt, role);
  LibraryChange change;
  change.wallets.insert(wallet.id);
  edit([wallet](LibraryState& s) { s.wallets.push_back(wallet); }, std::move(change));
  sync(wallet.id, [this, id = wallet.id, done] { done({state_.count(LibraryFilter{.walletID = id}), {}}); });
}

// --- syncing ---

void AppModel::sync(const Uuid& walletID, std::function<void()> done) {
  const Wallet* found = wallet(walletID);
  if (!found || jobs_.contains(walletID)) {
    if (done) done();
    return;
  }
  SyncJob job{*found};
  if (done) job.waiters.push_back(std::move(done));
  jobs_.emplace(walletID, std::move(job));
  syncing_.insert(walletID);
  emit syncingWalletsChanged();
  queued_.push_back(walletID);
  startQueuedSyncs();
}

void AppModel::startQueuedSyncs() {
  while (running_ < maxWalletsSyncing && !queued_.empty()) {
    const Uuid id = queued_.front();
    queued_.pop_front();
    startSync(id);
  }
}

void AppModel::startSync(const Uuid& walletID) {
  SyncJob& job = jobs_.at(walletID);
  ++running_;
  job.started = true;
  if (const Wallet* current = wallet(walletID)) {
    job.wallet = *current;  // as it is now, not as it was when queued
  } else {
    postTo(mailbox_, this, [walletID](AppModel& m) { m.finishSync(walletID, {}); });
    return;
  }
  pool().start([mailbox = mailbox_, self = this, walletID, wallet = job.wallet, stop = job.stop.get_token(), http = options_.http,
                indexer = options_.bitcoinIndexer, services = options_.services] {
    auto result = std::make_shared<SyncResult>(SyncEngine::standard(http, indexer, services).sync(wallet, stop));
    postTo(mailbox, self, [walletID, result](AppModel& m) { m.finishSync(walletID, std::move(*result)); });
  });
}

void AppModel::finishSync(const Uuid& walletID, SyncResult syncResult) {
  --running_;
  auto node = jobs_.find(walletID);
  SyncJob& job = node->second;

  // A wallet removed while it synced keeps nothing.
  if (wallet(walletID)) {
    auto result = std::make_shared<const SyncResult>(std::move(syncResult));
    const SyncDiff diff = state_.apply(*result, walletID);
    const Wallet after = *wallet(walletID);
    // The writer's copy gets the same merge and this wallet exactly as here
    // (the merge stamps the time of the sync).
    LibraryChange change = LibraryChange::all();
    change.wallets.insert(walletID);
    change.desktop = !diff.added.empty() || !diff.removed.empty();
    edited(
        [result, walletID, after](LibraryState& s) {
          s.apply(*result, walletID);
          for (auto& w : s.wallets) {
            if (w.id == walletID) w = after;
          }
        },
        std::move(change));
    if (!result->errors.empty() && result->owned.empty()) setNotice(job.wallet.label + ": " + result->errors.front());

    if (job.again) {
      // Its contracts changed while it ran: read it once more.
      job.again = false;
      job.started = false;
      job.stop = {};
      queued_.push_front(walletID);
      startQueuedSyncs();
      return;
    }
  }

  auto waiters = std::move(job.waiters);
  jobs_.erase(node);
  syncing_.erase(walletID);
  emit syncingWalletsChanged();
  startQueuedSyncs();
  for (auto& waiter : waiters) waiter();
}

void AppModel::syncAll(std::function<void()> done) {
  std::vector<Uuid> ids;
  for (const auto& w : state_.wallets) ids.push_back(w.id);
  auto remaining = std::make_shared<std::size_t>(ids.size());
  auto finished = [this, remaining, done] {
    pruneCache();
    if (done) done();
  };
  if (ids.empty()) return finished();
  for (const auto& id : ids) {
    sync(id, [remaining, finished] {
      if (--*remaining == 0) finished();
    });
  }
}

void AppModel::syncStale(std::function<void()> done) {
  const Date now = options_.now();
  auto stale = std::make_shared<std::vector<Uuid>>();
  for (const auto& w : state_.wallets) {
    if (!w.lastSync || now - *w.lastSync > options_.timings.staleAfter) stale->push_back(w.id);
  }
  if (stale->empty()) {
    if (done) done();
    return;
  }
  syncInTurn(stale, 0, [this, done] {
    pruneCache();
    if (done) done();
  });
}

void AppModel::syncInTurn(std::shared_ptr<std::vector<Uuid>> ids, std::size_t next, std::function<void()> done) {
  if (next == ids->size()) return done();
  const Uuid id = (*ids)[next];
  sync(id, [this, ids, next, done] { syncInTurn(ids, next + 1, done); });
}

void AppModel::removeWallet(const Uuid& walletID) {
  // Works only this wallet held go with it: the lists rebuild.
  LibraryChange change = LibraryChange::all();
  change.wallets.insert(walletID);
  edit([walletID](LibraryState& s) { s.removeWallet(walletID); }, std::move(change));
}

// --- collection contracts ---

void AppModel::addCollectionContract(const std::string& text, const Uuid& walletID, std::function<void()> done) {
  const auto contract = normalizedContract(text);
  if (!contract) {
    setNotice(invalidContractNotice);
    if (done) done();
    return;
  }
  LibraryChange change;
  change.wallets.insert(walletID);
  edit(
      [walletID, contract = *contract](LibraryState& s) {
        for (auto& w : s.wallets) {
          if (w.id != walletID) continue;
          auto list = w.collectionContracts.value_or(std::vector<std::string>{});
          if (std::find(list.begin(), list.end(), contract) == list.end()) list.push_back(contract);
          w.collectionContracts = std::move(list);
        }
      },
      std::move(change));
  resyncAfterContractChange(walletID, std::move(done));
}

void AppModel::removeCollectionContract(const std::string& contract, const Uuid& walletID,
                                        std::function<void()> done) {
  LibraryChange change;
  change.wallets.insert(walletID);
  edit(
      [walletID, contract](LibraryState& s) {
        for (auto& w : s.wallets) {
          if (w.id == walletID && w.collectionContracts) std::erase(*w.collectionContracts, contract);
        }
      },
      std::move(change));
  resyncAfterContractChange(walletID, std::move(done));
}

void AppModel::resyncAfterContractChange(const Uuid& walletID, std::function<void()> done) {
  auto running = jobs_.find(walletID);
  if (running == jobs_.end()) return sync(walletID, std::move(done));
  // A running read began with the old list: one more follows it.
  running->second.again = running->second.started;
  if (done) running->second.waiters.push_back(std::move(done));
}

}  // namespace tavolune
