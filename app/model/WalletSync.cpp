#include "app/model/WalletSync.hpp"

#include "app/model/MediaServices.hpp"
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

// Runs f on the part on the GUI thread, unless it is gone by then.
template <class F>
void postTo(const std::shared_ptr<ResultMailbox>& mailbox, WalletSync* sync, F f) {
  mailbox->post([sync, f = std::move(f)]() mutable { f(*sync); });
}

}  // namespace

WalletSync::WalletSync(const ModelOptions& options, LibraryEditor& library, MediaServices& media, QObject* parent)
    : QObject(parent), options_(options), library_(library), media_(media) {
  // A tenth of the interval either way is fine for a sync every ten minutes.
  autoSyncTimer_.setTimerType(Qt::CoarseTimer);
  autoSyncTimer_.setInterval(options_.timings.autoSyncInterval);
  connect(&autoSyncTimer_, &QTimer::timeout, this, [this] { syncStale(); });
}

WalletSync::~WalletSync() {
  mailbox_->close();
  for (auto& [id, job] : jobs_) job.stop.request_stop();
}

std::optional<std::string> WalletSync::normalizedContract(const std::string& text) {
  static const QRegularExpression pattern(QStringLiteral("\\A(?:[a-z]+:)?0x[0-9a-f]{40}\\z"));
  const QString contract = qt::str(text).trimmed().toLower();
  if (!pattern.match(contract).hasMatch()) return std::nullopt;
  return qt::str(contract);
}

const Wallet* WalletSync::wallet(const Uuid& id) const {
  for (const auto& w : library_.state().wallets) {
    if (w.id == id) return &w;
  }
  return nullptr;
}

void WalletSync::startAutoSync() { autoSyncTimer_.start(); }

// --- adding ---

void WalletSync::addWallet(std::string text, WalletRole role, std::function<void(AddWalletOutcome)> done) {
  if (!done) done = [](AddWalletOutcome) {};
  AddressResolver resolver(options_.http, options_.resolver, {});
  options_.threadPool().start([mailbox = mailbox_, self = this, text = std::move(text), role, done, resolver] {
    try {
      ResolvedAddress resolved = resolver.resolve(text);
      postTo(mailbox, self,
             [text, role, done, resolved](WalletSync& s) { s.finishAddWallet(text, role, resolved, done); });
    } catch (...) {
      postTo(mailbox, self, [done, error = std::current_exception()](WalletSync&) { done({0, error}); });
    }
  });
}

void WalletSync::finishAddWallet(const std::string& text, WalletRole role, const ResolvedAddress& resolved,
                                 std::function<void(AddWalletOutcome)> done) {
  const std::string address = asciiLower(resolved.address);
  for (const auto& w : library_.state().wallets) {
    if (asciiLower(w.address) != address || w.role.value_or(WalletRole::collector) != role) continue;
    // Watched already: read it again instead.
    sync(w.id, [this, id = w.id, done] {
      const auto& ownerships = library_.state().ownerships;
      auto it = ownerships.find(id);
      done({it == ownerships.end() ? 0 : it->second.size(), {}});
    });
    return;
  }

  const Wallet wallet = Wallet::make(Uuid::random(), resolved.name.value_or(shortAddress(resolved.address)), text,
                                     resolved.address, resolved.name, resolved.family, std::nullopt, role);
  LibraryChange change;
  change.wallets.insert(wallet.id);
  library_.edit([wallet](LibraryState& s) { s.wallets.push_back(wallet); }, std::move(change));
  sync(wallet.id, [this, id = wallet.id, done] { done({library_.state().count(LibraryFilter{.walletID = id}), {}}); });
}

// --- syncing ---

void WalletSync::sync(const Uuid& walletID, std::function<void()> done) {
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

void WalletSync::startQueuedSyncs() {
  while (running_ < maxWalletsSyncing && !queued_.empty()) {
    const Uuid id = queued_.front();
    queued_.pop_front();
    startSync(id);
  }
}

void WalletSync::startSync(const Uuid& walletID) {
  SyncJob& job = jobs_.at(walletID);
  ++running_;
  job.started = true;
  if (const Wallet* current = wallet(walletID)) {
    job.wallet = *current;  // as it is now, not as it was when queued
  } else {
    postTo(mailbox_, this, [walletID](WalletSync& s) { s.finishSync(walletID, {}); });
    return;
  }
  options_.threadPool().start([mailbox = mailbox_, self = this, walletID, wallet = job.wallet,
                               stop = job.stop.get_token(), http = options_.http, indexer = options_.bitcoinIndexer,
                               services = options_.services] {
    auto result = std::make_shared<SyncResult>(SyncEngine::standard(http, indexer, services).sync(wallet, stop));
    postTo(mailbox, self, [walletID, result](WalletSync& s) { s.finishSync(walletID, std::move(*result)); });
  });
}

void WalletSync::finishSync(const Uuid& walletID, SyncResult syncResult) {
  --running_;
  auto node = jobs_.find(walletID);
  SyncJob& job = node->second;

  // A wallet removed while it synced keeps nothing.
  if (wallet(walletID)) {
    auto result = std::make_shared<const SyncResult>(std::move(syncResult));
    library_.merge([&](LibraryState& state) {
      const SyncDiff diff = state.apply(*result, walletID);
      const Wallet after = *wallet(walletID);
      // The writer's copy gets the same merge and this wallet exactly as
      // here (the merge stamps the time of the sync).
      LibraryChange change = LibraryChange::all();
      change.wallets.insert(walletID);
      change.desktop = !diff.added.empty() || !diff.removed.empty();
      return LibraryEditor::Merged{[result, walletID, after](LibraryState& s) {
                                     s.apply(*result, walletID);
                                     for (auto& w : s.wallets) {
                                       if (w.id == walletID) w = after;
                                     }
                                   },
                                   std::move(change)};
    });
    if (!result->errors.empty() && result->owned.empty()) {
      library_.setNotice(job.wallet.label + ": " + result->errors.front());
    }

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

void WalletSync::syncAll(std::function<void()> done) {
  std::vector<Uuid> ids;
  for (const auto& w : library_.state().wallets) ids.push_back(w.id);
  auto remaining = std::make_shared<std::size_t>(ids.size());
  auto finished = [this, remaining, done] {
    media_.pruneCache();
    if (done) done();
  };
  if (ids.empty()) return finished();
  for (const auto& id : ids) {
    sync(id, [remaining, finished] {
      if (--*remaining == 0) finished();
    });
  }
}

void WalletSync::syncStale(std::function<void()> done) {
  const Date now = options_.now();
  auto stale = std::make_shared<std::vector<Uuid>>();
  for (const auto& w : library_.state().wallets) {
    if (!w.lastSync || now - *w.lastSync > options_.timings.staleAfter) stale->push_back(w.id);
  }
  if (stale->empty()) {
    if (done) done();
    return;
  }
  syncInTurn(stale, 0, [this, done] {
    media_.pruneCache();
    if (done) done();
  });
}

void WalletSync::syncInTurn(std::shared_ptr<std::vector<Uuid>> ids, std::size_t next, std::function<void()> done) {
  if (next == ids->size()) return done();
  const Uuid id = (*ids)[next];
  sync(id, [this, ids, next, done] { syncInTurn(ids, next + 1, done); });
}

// --- collection contracts ---

void WalletSync::addCollectionContract(const std::string& text, const Uuid& walletID, std::function<void()> done) {
  const auto contract = normalizedContract(text);
  if (!contract) {
    library_.setNotice(invalidContractNotice);
    if (done) done();
    return;
  }
  editContracts(
      walletID,
      [walletID, contract = *contract](LibraryState& s) {
        for (auto& w : s.wallets) {
          if (w.id != walletID) continue;
          auto list = w.collectionContracts.value_or(std::vector<std::string>{});
          if (std::find(list.begin(), list.end(), contract) == list.end()) list.push_back(contract);
          w.collectionContracts = std::move(list);
        }
      },
      std::move(done));
}

void WalletSync::removeCollectionContract(const std::string& contract, const Uuid& walletID,
                                          std::function<void()> done) {
  editContracts(
      walletID,
      [walletID, contract](LibraryState& s) {
        for (auto& w : s.wallets) {
          if (w.id == walletID && w.collectionContracts) std::erase(*w.collectionContracts, contract);
        }
      },
      std::move(done));
}

void WalletSync::editContracts(const Uuid& walletID, LibraryWriter::Patch patch, std::function<void()> done) {
  LibraryChange change;
  change.wallets.insert(walletID);
  library_.edit(std::move(patch), std::move(change));
  auto running = jobs_.find(walletID);
  if (running == jobs_.end()) return sync(walletID, std::move(done));
  // A running read began with the old list: one more follows it.
  running->second.again = running->second.started;
  if (done) running->second.waiters.push_back(std::move(done));
}

}  // namespace tavolune
