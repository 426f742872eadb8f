#include "app/model/AppModel.hpp"

#include "app/model/FetcherImageSource.hpp"
#include "core/media/OnchfsResolver.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/persistence/LibraryStore.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace tavolune {

AppModel::Options AppModel::Options::standard() {
  Options options;
  options.storeURL = LibraryStore::defaultURL();
  options.cacheDirectory = MediaCache::defaultDirectory();
  return options;
}

AppModel::AppModel(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      cache_(std::make_shared<MediaCache>(options_.cacheDirectory, cacheLimitBytes)),
      fetcher_(options_.http, cache_, options_.services.gateways,
               std::make_shared<OnchfsResolver>(options_.http, options_.services.tzktAPI)),
      images_(std::make_shared<FetcherImageSource>(fetcher_)) {
  auto store = std::make_shared<LibraryStore>(options_.storeURL);
  writer_ = std::make_unique<LibraryWriter>([store] { return store->load(); },
                                            [store](const LibraryState& s) { store->save(s); });

  saveTimer_.setSingleShot(true);
  saveTimer_.setInterval(options_.timings.saveDelay);
  connect(&saveTimer_, &QTimer::timeout, this, &AppModel::writeSave);

  countTimer_.setSingleShot(true);
  countTimer_.setInterval(options_.timings.countDelay);
  connect(&countTimer_, &QTimer::timeout, this, &AppModel::countPendingSeries);
  // Edits come in bursts (a sync merge, a drop): one count after them.
  poolTimer_.setSingleShot(true);
  poolTimer_.setInterval(30);
  connect(&poolTimer_, &QTimer::timeout, this, &AppModel::countPool);

  ratioFlush_.setSingleShot(true);
  ratioFlush_.setInterval(options_.timings.ratioFlushDelay);
  connect(&ratioFlush_, &QTimer::timeout, this, &AppModel::flushRatios);

  // A tenth of the interval either way is fine for a sync every ten minutes.
  autoSyncTimer_.setTimerType(Qt::CoarseTimer);
  autoSyncTimer_.setInterval(options_.timings.autoSyncInterval);
  connect(&autoSyncTimer_, &QTimer::timeout, this, [this] { syncStale(); });
}

AppModel::~AppModel() {
  stopFormatFetches();
  for (auto& [id, job] : jobs_) job.stop.request_stop();
  flush();
}

QThreadPool& AppModel::pool() const { return options_.pool ? *options_.pool : *QThreadPool::globalInstance(); }

void AppModel::setNotice(std::optional<std::string> notice) {
  if (notice == notice_) return;
  notice_ = std::move(notice);
  emit noticeChanged();
}

void AppModel::libraryChanged() {
  images_.expireFailures();
  if (onLibraryChanged_) onLibraryChanged_();
}

// --- loading and saving ---

void AppModel::load() {
  if (loaded_ || loading_) return;
  loading_ = true;
  QPointer<AppModel> self(this);
  writer_->load([self](LibraryState loaded) {
    auto shared = std::make_shared<LibraryState>(std::move(loaded));
    QMetaObject::invokeMethod(
        qApp, [self, shared] { if (self) self->finishLoad(std::move(*shared)); }, Qt::QueuedConnection);
  });
}

void AppModel::finishLoad(LibraryState loaded) {
  state_ = std::move(loaded);
  journal_.clear();  // edits of the empty library are gone with it
  loading_ = false;
  loaded_ = true;
  emit stateChanged();
  emit loadedChanged();
  schedulePendingSeriesCount();
  countPool();
  pruneCache();
  startAutoSync();
  libraryChanged();
}

void AppModel::edit(LibraryWriter::Patch patch) {
  patch(state_);
  state_.touch();  // patches write members directly; cached listings must see the change
  if (loaded_) {
    journal_.push_back(std::move(patch));
    poolTimer_.start();
  }
  emit stateChanged();
}

void AppModel::scheduleSave() {
  // Before the library is in place a save would write the empty one over it.
  if (!loaded_) return;
  saveTimer_.start();
}

void AppModel::writeSave() {
  QPointer<AppModel> self(this);
  writer_->save(std::exchange(journal_, {}), [self] {
    QMetaObject::invokeMethod(qApp, [self] { if (self) emit self->saved(); }, Qt::QueuedConnection);
  });
}

void AppModel::saveNow() {
  if (!saveTimer_.isActive()) return;
  saveTimer_.stop();
  writeSave();
}

void AppModel::flush() {
  saveNow();
  writer_->flush();
}

void AppModel::schedulePendingSeriesCount() { countTimer_.start(); }

// Counted on the writer's copy: the walk over every work takes tens of
// milliseconds in a large library, and the copy is kept there anyway.
void AppModel::countPendingSeries() {
  if (!loaded_) return;  // the load schedules a count
  QPointer<AppModel> self(this);
  writer_->read(std::exchange(journal_, {}), [self](const LibraryState& s) {
    const std::size_t count = s.unmeasuredSeries().size();
    QMetaObject::invokeMethod(
        qApp,
        [self, count] {
          if (!self || count == self->pendingSeriesCount_) return;
          self->pendingSeriesCount_ = count;
          emit self->pendingSeriesCountChanged();
        },
        Qt::QueuedConnection);
  });
}

void AppModel::countPool() {
  if (!loaded_) return;
  QPointer<AppModel> self(this);
  writer_->read(std::exchange(journal_, {}), [self](const LibraryState& s) {
    const std::size_t count = s.desktopPoolCount();
    QMetaObject::invokeMethod(
        qApp,
        [self, count] {
          if (!self || self->poolCount_ == count) return;
          self->poolCount_ = count;
          emit self->desktopPoolCountChanged();
        },
        Qt::QueuedConnection);
  });
}

void AppModel::startAutoSync() { autoSyncTimer_.start(); }

void AppModel::pruneCache() {
  pool().start([cache = cache_] { cache->prune(); });
}

void AppModel::afterEdit(bool desktopReacts) {
  scheduleSave();
  schedulePendingSeriesCount();
  if (desktopReacts) libraryChanged();
}

// --- queries ---

std::vector<const Artwork*> AppModel::visibleArtworks() const { return state_.artworksFor(LibraryFilter{}); }

const Wallet* AppModel::wallet(const Uuid& id) const {
  for (const auto& w : state_.wallets) {
    if (w.id == id) return &w;
  }
  return nullptr;
}

// --- works ---

void AppModel::setHidden(const std::vector<std::string>& artworkIDs, bool hidden) {
  edit([artworkIDs, hidden](LibraryState& s) {
    for (const auto& id : artworkIDs) {
      if (hidden) {
        s.hiddenArtworks.insert(id);
        continue;
      }
      s.hiddenArtworks.erase(id);
      auto it = s.artworks.find(id);
      if (it == s.artworks.end()) continue;
      s.hiddenCollections.erase(it->second.collectionKey());
      // Shown again on purpose: no longer treated as spam.
      if (s.isSpam(it->second)) s.spamOverrides.insert_or_assign(id, false);
    }
  });
  afterEdit(true);
}

void AppModel::setAnimated(const Artwork& artwork, bool animated) {
  edit([id = artwork.id, animated](LibraryState& s) {
    if (!animated) {
      s.animatedArtworks.erase(id);
      return;
    }
    s.animatedArtworks.insert(id);
    if (s.settings.animation == AnimationPolicy::never) s.settings.animation = AnimationPolicy::selected;
  });
  afterEdit(true);
}

}  // namespace tavolune
