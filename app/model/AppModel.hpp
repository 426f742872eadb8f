#pragma once
// The application's one model: it keeps the library (loaded once, saved
// 1.5 s after each burst of edits, every edit reported once per turn of
// the event loop), the one-line notice and the library operations of the
// views, and owns the parts with their own jobs: wallet sync, series
// formats and rendered stills, and the media services every view shares.
// The parts change the library only through the model. GUI thread only;
// every operation returns at once and blocking work (loading, saving,
// counting) runs on other threads.

#include "app/model/LibraryChange.hpp"
#include "app/model/LibraryEditor.hpp"
#include "app/model/LibraryWriter.hpp"
#include "app/model/MediaServices.hpp"
#include "app/model/ModelOptions.hpp"
#include "app/model/SeriesFormats.hpp"
#include "app/model/WalletSync.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/base/Date.hpp"
#include "core/base/IdSet.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QThreadPool;

namespace tavolune {

// Privately a LibraryEditor: the parts it owns edit through it.
class AppModel final : public QObject, private LibraryEditor {
  Q_OBJECT

 public:
  using Timings = ModelTimings;
  using Options = ModelOptions;

  explicit AppModel(Options options, QObject* parent = nullptr);
  // Stops the parts' work, then writes a pending save.
  ~AppModel() override;

  // --- the parts ---

  WalletSync& walletSync() { return *walletSync_; }
  const WalletSync& walletSync() const { return *walletSync_; }
  SeriesFormats& formats() { return *formats_; }
  const SeriesFormats& formats() const { return *formats_; }
  MediaServices& media() { return *media_; }

  // --- published state ---

  const LibraryState& state() const override { return state_; }
  // The model's clock, which its syncs date wallets by.
  Date now() const { return options_.now(); }
  bool isLoaded() const { return loaded_; }
  const std::optional<std::string>& notice() const { return notice_; }
  // The menu sets it to nothing when the user dismisses it.
  void setNotice(std::optional<std::string> notice) override;
  std::size_t pendingSeriesCount() const { return pendingSeriesCount_; }
  // The number of works in rotation, counted on the writer's copy a moment
  // after each change (the walk takes milliseconds in a large library);
  // none until the first count after loading.
  std::optional<std::size_t> desktopPoolCount() const { return poolCount_; }
  // Whether a report of this turn's edits or a count of the works in
  // rotation is still to come.
  bool isSettling() const { return deliveryPosted_ || poolTimer_.isActive() || poolCounts_ > 0; }

  const LibraryWriter& writer() const { return *writer_; }

  // The listing of the current library, built on first use and kept up to
  // date in place by every edit but loads and sync merges.
  const LibraryListing& listing() const;
  std::vector<const Artwork*> visibleArtworks() const;

  // --- loading and saving ---

  // Reads the library once, off this thread, then starts the automatic
  // sync. Further calls while it loads join that load; after it they do
  // nothing.
  void load();
  // A save of the library 1.5 s from now, replacing a scheduled one.
  // Nothing is saved before the library is loaded.
  void scheduleSave();
  // Hands a scheduled save to the writer now, without waiting for it.
  void saveNow();
  // saveNow(), then waits until everything is on disk; for quitting.
  void flush();

  // --- exhibitions ---

  // One edit of the exhibitions, as the library window makes them.
  struct ExhibitionEdit {
    enum class Kind { add, remove, move, rename, erase };
    Kind kind = Kind::add;
    Uuid exhibition{};
    std::vector<std::string> ids{};
    std::optional<std::string> before{};  // move: the work to land in front of
    std::string title{};                  // rename

    static ExhibitionEdit add(std::vector<std::string> ids, const Uuid& to) { return {Kind::add, to, std::move(ids)}; }
    static ExhibitionEdit remove(std::vector<std::string> ids, const Uuid& from) {
      return {Kind::remove, from, std::move(ids)};
    }
    static ExhibitionEdit move(std::vector<std::string> ids, const Uuid& in, std::optional<std::string> before) {
      return {Kind::move, in, std::move(ids), std::move(before)};
    }
    static ExhibitionEdit rename(const Uuid& id, std::string title) {
      return {Kind::rename, id, {}, {}, std::move(title)};
    }
    static ExhibitionEdit erase(const Uuid& id) { return {Kind::erase, id}; }
  };

  // Appends an exhibition holding the ids (each once), titled "Untitled
  // Exhibition", or that title and the first free number from 2; saves.
  Uuid newExhibition(const std::vector<std::string>& ids);
  // Applies one edit of the exhibitions and saves; the desktop looks again
  // when the pool's ids or their order changed.
  void editExhibitions(const ExhibitionEdit& change);
  // Puts the exhibition on the desktop, or (nothing) takes it off.
  void setActiveExhibition(const std::optional<Uuid>& exhibition);

  // --- wallets ---

  // Forgets the wallet and the works only it held.
  void removeWallet(const Uuid& walletID);

  // --- works ---

  void setHidden(IdSet artworkIDs, bool hidden);
  void setAnimated(const Artwork& artwork, bool animated);
  // Takes the works out of My Selection when every one is in it, else puts
  // them all in; nothing for none.
  void toggleMySelection(IdSet artworkIDs);
  // The same for a set the caller keeps too: noted, not copied.
  void toggleMySelection(std::shared_ptr<const IdSet> artworkIDs);
  // Hides every work of the artwork's contract on its chain.
  void hideCollection(const Artwork& artwork);
  // The work's own framing, and its quarter turns clockwise (0 forgets them).
  void setFraming(const std::string& artworkID, Framing framing);
  void setRotation(const std::string& artworkID, int turns);

  // --- settings and displays ---

  template <class T>
  void setSetting(T AppSettings::*field, T value) {
    // The patch runs again on the writer's copy: it captures only values.
    LibraryChange change;
    change.settings = change.desktop = true;
    edit([field, value](LibraryState& s) { s.settings.*field = value; }, std::move(change));
  }
  // The display now shows the work (and it counts as recently shown).
  void noteShown(const std::string& displayID, const std::string& artworkID, Date when);
  // Displays seen for the first time, framed like the main one (else fit).
  void addDisplays(const std::vector<std::string>& displayIDs, const std::optional<std::string>& mainID);
  void setDisplayFraming(const std::string& displayID, Framing framing);

 signals:
  // Edits of one turn of the event loop, reported together after it.
  void libraryChanged(const tavolune::LibraryChange& change);
  void loadedChanged();
  void noticeChanged();
  void pendingSeriesCountChanged();
  void desktopPoolCountChanged();
  // A scheduled save reached the disk (or failed to).
  void saved();

 private:
  void finishLoad(LibraryState loaded);
  // Changes the library (see LibraryWriter::Patch for what the patch may
  // depend on), keeps the listing, schedules the save and the series count
  // and reports the change after this turn.
  void edit(LibraryWriter::Patch patch, LibraryChange change) override;
  void merge(const std::function<Merged(LibraryState&)>& merge) override;
  // The journal and the change report of an edit already made on state_.
  void edited(LibraryWriter::Patch patch, LibraryChange change);
  void deliverChange();
  void reportLater(LibraryChange change);
  void desktopLooksAgain(LibraryChange change) override;
  void schedulePendingSeriesCount();
  // Tests set up a library without operations (tests/support/ModelEdits.hpp).
  friend void seedLibrary(AppModel& model, LibraryWriter::Patch patch);
  friend void seedDesktopChange(AppModel& model);
  void countPendingSeries();
  void countPool();
  void writeSave();

  const Options options_;
  // Workers' results come back through it; closed first in the destructor.
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
  LibraryState state_{};
  bool loaded_ = false;
  bool loading_ = false;
  std::optional<std::string> notice_;
  std::size_t pendingSeriesCount_ = 0;
  std::optional<std::size_t> poolCount_;
  int poolCounts_ = 0;  // counts under way on the writer
  QTimer poolTimer_;

  mutable LibraryListing listing_;
  LibraryChange pending_;  // reported at the end of this turn
  bool deliveryPosted_ = false;

  std::unique_ptr<LibraryWriter> writer_;
  std::vector<LibraryWriter::Patch> journal_;  // edits since the last save
  QTimer saveTimer_;
  QTimer countTimer_;

  // The parts, made from the options; the services first, as the others use them.
  std::unique_ptr<MediaServices> media_;
  std::unique_ptr<WalletSync> walletSync_;
  std::unique_ptr<SeriesFormats> formats_;
};

}  // namespace tavolune
