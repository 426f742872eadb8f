#include "app/model/AppModel.hpp"

#include "core/persistence/LibraryStore.hpp"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_set>

namespace tavolune {
namespace {

// Works changed in one aspect: the desktop looks again.
LibraryChange worksChange(const std::vector<std::string>& artworkIDs, LibraryChange::Aspect aspect) {
  LibraryChange change;
  change.desktop = true;
  for (const auto& id : artworkIDs) change.note(id, aspect);
  return change;
}

LibraryChange displaysChange() {
  LibraryChange change;
  change.displays = true;
  return change;
}

}  // namespace

AppModel::AppModel(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      media_(std::make_unique<MediaServices>(options_)),
      walletSync_(std::make_unique<WalletSync>(options_, static_cast<LibraryEditor&>(*this), *media_)),
      formats_(std::make_unique<SeriesFormats>(options_, static_cast<LibraryEditor&>(*this), *media_)) {
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
}

AppModel::~AppModel() {
  mailbox_->close();
  // The parts go first: their work may still edit the library.
  formats_.reset();
  walletSync_.reset();
  flush();
}

void AppModel::setNotice(std::optional<std::string> notice) {
  if (notice == notice_) return;
  notice_ = std::move(notice);
  emit noticeChanged();
}

const LibraryListing& AppModel::listing() const { return listing_.update(state_); }

void AppModel::deliverChange() {
  deliveryPosted_ = false;
  if (pending_.empty()) return;
  const LibraryChange change = std::exchange(pending_, {});
  // Stills that failed may load now that the desktop looks again.
  if (change.desktop) media_->images().expireFailures();
  emit libraryChanged(change);
}

// --- loading and saving ---

void AppModel::load() {
  if (loaded_ || loading_) return;
  loading_ = true;
  writer_->load([mailbox = mailbox_, self = this](LibraryState loaded) {
    auto shared = std::make_shared<LibraryState>(std::move(loaded));
    mailbox->post([self, shared] { self->finishLoad(std::move(*shared)); });
  });
}

void AppModel::finishLoad(LibraryState loaded) {
  state_ = std::move(loaded);
  journal_.clear();  // edits of the empty library are gone with it
  loading_ = false;
  loaded_ = true;
  pending_.merge(LibraryChange::all());
  deliverChange();
  emit loadedChanged();
  schedulePendingSeriesCount();
  countPool();
  media_->pruneCache();
  walletSync_->startAutoSync();
}

void AppModel::edit(LibraryWriter::Patch patch, LibraryChange change) {
  const bool listed = !change.everything && listing_.isCurrent(state_);
  patch(state_);
  state_.touch();  // patches write members directly; cached listings must see the change
  if (listed) {
    using A = LibraryChange::Aspect;
    std::vector<std::string_view> ids;
    ids.reserve(change.namedCount());
    change.forEachArtwork([&](std::string_view id, std::uint8_t) { ids.push_back(id); });
    // One list of works all put in or all taken out of My Selection: the listing need not look.
    const bool together = change.artworks.empty() && change.many.size() == 1 && change.many[0].aspects == A::selection;
    listing_.amend(state_, ids,
                   {.hidden = change.anyArtwork(A::hidden),
                    .onDesktop = change.anyArtwork(A::selection),
                    .shape = change.anyArtwork(A::format | A::placement),
                    .ordered = change.exhibitions || change.displays,
                    .allOnDesktop = together ? change.many[0].inMySelection : std::nullopt});
  }
  edited(std::move(patch), std::move(change));
}

void AppModel::merge(const std::function<Merged(LibraryState&)>& merge) {
  Merged merged = merge(state_);
  edited(std::move(merged.replay), std::move(merged.change));
}

void AppModel::desktopLooksAgain(LibraryChange change) {
  change.desktop = true;
  reportLater(std::move(change));
}

void AppModel::edited(LibraryWriter::Patch patch, LibraryChange change) {
  if (loaded_) {
    journal_.push_back(std::move(patch));
    poolTimer_.start();
  }
  scheduleSave();
  schedulePendingSeriesCount();
  reportLater(std::move(change));
}

void AppModel::reportLater(LibraryChange change) {
  pending_.merge(change);
  // Edits of one turn are reported once, after it.
  if (std::exchange(deliveryPosted_, true)) return;
  QMetaObject::invokeMethod(this, &AppModel::deliverChange, Qt::QueuedConnection);
}

void seedLibrary(AppModel& model, LibraryWriter::Patch patch) {
  // As a view would never edit: no save of its own, the desktop left alone.
  patch(model.state_);
  model.state_.touch();
  if (model.loaded_) {
    model.journal_.push_back(std::move(patch));
    model.poolTimer_.start();
  }
  model.schedulePendingSeriesCount();
  LibraryChange change = LibraryChange::all();
  change.desktop = false;
  model.reportLater(std::move(change));
  model.deliverChange();
}

void seedDesktopChange(AppModel& model) {
  model.desktopLooksAgain({});
  model.deliverChange();
}

void AppModel::scheduleSave() {
  // Before the library is in place a save would write the empty one over it.
  if (!loaded_) return;
  saveTimer_.start();
}

void AppModel::writeSave() {
  writer_->save(std::exchange(journal_, {}),
                [mailbox = mailbox_, self = this] { mailbox->post([self] { emit self->saved(); }); });
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
  writer_->read(std::exchange(journal_, {}), [mailbox = mailbox_, self = this](const LibraryState& s) {
    const std::size_t count = s.unmeasuredSeries().size();
    mailbox->post([self, count] {
      if (count == self->pendingSeriesCount_) return;
      self->pendingSeriesCount_ = count;
      emit self->pendingSeriesCountChanged();
    });
  });
}

void AppModel::countPool() {
  if (!loaded_) return;
  ++poolCounts_;
  writer_->read(std::exchange(journal_, {}), [mailbox = mailbox_, self = this](const LibraryState& s) {
    const std::size_t count = s.desktopPoolCount();
    mailbox->post([self, count] {
      --self->poolCounts_;
      if (self->poolCount_ == count) return;
      self->poolCount_ = count;
      emit self->desktopPoolCountChanged();
    });
  });
}

// --- queries ---

std::vector<const Artwork*> AppModel::visibleArtworks() const { return state_.artworksFor(LibraryFilter{}); }

void AppModel::removeWallet(const Uuid& walletID) {
  // Works only this wallet held go with it: the lists rebuild.
  LibraryChange change = LibraryChange::all();
  change.wallets.insert(walletID);
  edit([walletID](LibraryState& s) { s.removeWallet(walletID); }, std::move(change));
}

// --- works ---

void AppModel::setHidden(IdSet artworkIDs, bool hidden) {
  auto ids = std::make_shared<const IdSet>(std::move(artworkIDs));
  LibraryChange change;
  change.desktop = true;
  change.note(ids, LibraryChange::hidden);
  if (!hidden && !state_.hiddenCollections.empty()) {
    // Showing a work shows its hidden collection, every work of it.
    std::unordered_set<std::string> shown;
    std::string key;
    for (const std::string_view id : *ids) {
      const auto it = state_.artworks.find(key.assign(id));
      if (it != state_.artworks.end() && state_.hiddenCollections.contains(it->second.collectionKey())) {
        shown.insert(it->second.collectionKey());
      }
    }
    if (!shown.empty()) {
      for (const auto& [id, work] : state_.artworks) {
        if (shown.contains(work.collectionKey())) change.note(id, LibraryChange::hidden);
      }
    }
  }
  edit(
      [ids, hidden](LibraryState& s) {
        std::string id;  // one buffer for the lookups
        for (const std::string_view each : *ids) {
          id.assign(each);
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
      },
      std::move(change));
}

void AppModel::setAnimated(const Artwork& artwork, bool animated) {
  LibraryChange change = worksChange({artwork.id}, LibraryChange::animated);
  // Animating one work turns "never" into "selected": the setting changes too.
  change.settings = animated && state_.settings.animation == AnimationPolicy::never;
  edit(
      [id = artwork.id, animated](LibraryState& s) {
        if (!animated) {
          s.animatedArtworks.erase(id);
          return;
        }
        s.animatedArtworks.insert(id);
        if (s.settings.animation == AnimationPolicy::never) s.settings.animation = AnimationPolicy::selected;
      },
      std::move(change));
}

void AppModel::toggleMySelection(IdSet artworkIDs) {
  toggleMySelection(std::make_shared<const IdSet>(std::move(artworkIDs)));
}

void AppModel::toggleMySelection(std::shared_ptr<const IdSet> ids) {
  if (!ids || ids->empty()) return;
  // Decided now, so that the replay on the writer's copy agrees.
  std::string key;
  const bool remove = std::all_of(ids->begin(), ids->end(),
                                  [&](std::string_view id) { return state_.onDesktop.contains(key.assign(id)); });
  LibraryChange change;
  change.desktop = true;
  change.note(ids, LibraryChange::selection, !remove);
  edit(
      [ids, remove](LibraryState& s) {
        if (!remove) s.onDesktop.reserve(s.onDesktop.size() + ids->size());
        std::string key;
        for (const std::string_view id : *ids) {
          if (remove) {
            s.onDesktop.erase(key.assign(id));
          } else {
            s.onDesktop.emplace(id);
          }
        }
      },
      std::move(change));
}

void AppModel::hideCollection(const Artwork& artwork) {
  const std::string key = artwork.collectionKey();
  std::vector<std::string> ids;
  for (const auto& [id, work] : state_.artworks) {
    if (work.collectionKey() == key) ids.push_back(id);
  }
  edit([key](LibraryState& s) { s.hiddenCollections.insert(key); }, worksChange(ids, LibraryChange::hidden));
}

void AppModel::setFraming(const std::string& artworkID, Framing framing) {
  edit([artworkID, framing](LibraryState& s) { s.preferredFraming[artworkID] = framing; },
       worksChange({artworkID}, LibraryChange::placement));
}

void AppModel::setRotation(const std::string& artworkID, int turns) {
  edit(
      [artworkID, turns](LibraryState& s) {
        if (turns == 0) {
          s.rotations.erase(artworkID);
        } else {
          s.rotations[artworkID] = turns;
        }
      },
      worksChange({artworkID}, LibraryChange::placement));
}

// --- displays ---

void AppModel::noteShown(const std::string& displayID, const std::string& artworkID, Date when) {
  edit(
      [displayID, artworkID, when](LibraryState& s) {
        auto [it, inserted] = s.screens.try_emplace(displayID, ScreenConfig(Framing::fit));
        it->second.currentArtworkID = artworkID;
        it->second.lastChange = when;
        s.noteShown(artworkID);
      },
      displaysChange());
}

void AppModel::addDisplays(const std::vector<std::string>& displayIDs, const std::optional<std::string>& mainID) {
  edit(
      [displayIDs, mainID](LibraryState& s) {
        for (const auto& id : displayIDs) {
          if (s.screens.contains(id)) continue;
          Framing framing = Framing::fit;
          if (mainID) {
            if (auto it = s.screens.find(*mainID); it != s.screens.end()) framing = it->second.framing;
          }
          s.screens.emplace(id, ScreenConfig(framing));
        }
      },
      displaysChange());
}

void AppModel::setDisplayFraming(const std::string& displayID, Framing framing) {
  edit(
      [displayID, framing](LibraryState& s) {
        s.screens.try_emplace(displayID, ScreenConfig(Framing::fit)).first->second.framing = framing;
      },
      displaysChange());
}

}  // namespace tavolune
