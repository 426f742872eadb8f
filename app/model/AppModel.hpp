#pragma once
// The application's one model: the library (loaded once, saved 1.5 s after
// each burst of edits), wallet sync by hand and on a timer, the one-line
// notice, and the media services every view shares. GUI thread only; every
// operation returns at once and blocking work (loading, saving, resolving,
// syncing, pruning) runs on other threads.

#include "app/model/LibraryChange.hpp"
#include "app/model/LibraryWriter.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "app/render/ImagePipeline.hpp"
#include "core/base/Date.hpp"
#include "core/base/Uuid.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/media/MediaCache.hpp"
#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"
#include "core/network/AddressResolver.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/base/Hosts.hpp"
#include "app/stage/ProbeService.hpp"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QThreadPool;

namespace tavolune {

class AppModel final : public QObject {
  Q_OBJECT

 public:
  static constexpr std::int64_t cacheLimitBytes = 1'073'741'824;  // 1 GiB
  // Wallets synced at the same time; each reads up to seven chains at once.
  static constexpr std::size_t maxWalletsSyncing = 3;
  static inline const std::string invalidContractNotice = "Invalid contract address.";

  struct Timings {
    std::chrono::milliseconds saveDelay{1500};
    std::chrono::milliseconds countDelay{600};
    std::chrono::milliseconds autoSyncInterval{600'000};
    std::chrono::seconds staleAfter{21'600};
    std::chrono::milliseconds ratioFlushDelay{800};
  };

  // Where the model keeps its files and reaches its services. Options as
  // made name no service at all (nothing leaves the machine); the program
  // asks for the public ones with standard(). Tests point the services at
  // loopback fakes and shorten the timings.
  struct Options {
    std::filesystem::path storeURL;
    std::filesystem::path cacheDirectory;
    HTTPClient http{};
    SyncEngine::Services services{};
    std::string bitcoinIndexer{};
    AddressResolver::Endpoints resolver{};
    Timings timings{};
    std::function<Date()> now = &tavolune::now;
    QThreadPool* pool = nullptr;  // the application's pool when null
    // The off-screen probes; the real ones on the model's fetcher when null.
    std::function<std::unique_ptr<ProbeService>(const ContentFetcher&)> probes{};

    // The library file and media folder of the data directory, and the
    // public services: the program's own options.
    static Options standard();
  };

  // What addWallet() brought: the number of works, or why the text could
  // not be resolved (nothing was added then).
  struct AddWalletOutcome {
    std::size_t count = 0;
    std::exception_ptr error{};
  };

  explicit AppModel(Options options, QObject* parent = nullptr);
  // Writes a pending save and stops running syncs.
  ~AppModel() override;

  // --- published state ---

  const LibraryState& state() const { return state_; }
  bool isLoaded() const { return loaded_; }
  const std::unordered_set<Uuid>& syncingWallets() const { return syncing_; }
  const std::optional<std::string>& notice() const { return notice_; }
  // The menu sets it to nothing when the user dismisses it.
  void setNotice(std::optional<std::string> notice);
  std::size_t pendingSeriesCount() const { return pendingSeriesCount_; }
  // The number of works in rotation, counted on the writer's copy a moment
  // after each change (the walk takes milliseconds in a large library);
  // none until the first count after loading.
  std::optional<std::size_t> desktopPoolCount() const { return poolCount_; }

  const LibraryWriter& writer() const { return *writer_; }
  MediaCache& cache() { return *cache_; }
  const ContentFetcher& fetcher() const { return fetcher_; }
  ImagePipeline& images() { return images_; }

  // The listing of the current library, built on first use and kept up to
  // date in place by every edit but loads and sync merges.
  const LibraryListing& listing() const;

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
    static ExhibitionEdit rename(const Uuid& id, std::string title) { return {Kind::rename, id, {}, {}, std::move(title)}; }
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

  // --- loading and saving ---

  // Reads the library once, off this thread. Further calls while it loads
  // join that load; after it they do nothing.
  void load();
  // A save of the library 1.5 s from now, replacing a scheduled one.
  // Nothing is saved before the library is loaded.
  void scheduleSave();
  // Hands a scheduled save to the writer now, without waiting for it.
  void saveNow();
  // saveNow(), then waits until everything is on disk; for quitting.
  void flush();
  void startAutoSync();
  void pruneCache();

  // --- queries ---

  std::vector<const Artwork*> visibleArtworks() const;

  // --- wallets ---

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

  // Forgets the wallet and the works only it held.
  void removeWallet(const Uuid& walletID);
  void addCollectionContract(const std::string& text, const Uuid& walletID, std::function<void()> done = {});
  void removeCollectionContract(const std::string& contract, const Uuid& walletID, std::function<void()> done = {});

  // --- works ---

  void setHidden(const std::vector<std::string>& artworkIDs, bool hidden);
  void setAnimated(const Artwork& artwork, bool animated);
  // Takes the works out of My Selection when every one is in it, else puts
  // them all in; nothing for none.
  void toggleMySelection(std::vector<std::string> artworkIDs);
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

  // "^([a-z]+:)?0x[0-9a-f]{40}$" after trimming and lowercasing; the
  // normalised contract, or nothing.
  static std::optional<std::string> normalizedContract(const std::string& text);

  // ======================================================================
  // Formats and rendered stills (AppModelFormats.cpp). Each series is probed
  // once however many ask at once, each still once per work and pixel
  // size; every probe of the process waits in one queue, two at a time.
  // Callbacks run on the GUI thread, at once when the answer is known.
  // ======================================================================

  struct Progress {
    std::size_t done = 0;
    std::size_t total = 0;
    friend bool operator==(const Progress&, const Progress&) = default;
  };
  static constexpr double measureSettleSeconds = 3.5;
  static constexpr double stillMaxWaitSeconds = 15;
  static constexpr std::size_t formatWindow = 8;       // thumbnails in flight
  static constexpr std::size_t formatBatch = 25;       // ratios per library write
  static constexpr int formatThumbnailPixels = 240;

  // The stored profile of the work's series; otherwise, when asked to and
  // the work is generative, a measurement (joining one that runs).
  void profile(const Artwork& artwork, bool measureIfNeeded, std::function<void(std::optional<RenderProfile>)> done);
  // Measures every unmeasured series in turn; done when finished or stopped.
  void analyzeCollection(std::function<void()> done = {});
  // Forgets the series' profile and measures it again.
  void remeasure(const Artwork& artwork, std::function<void()> done = {});
  // The ratio of a still decoded anyway, written 0.8 s after the last note.
  void noteRatio(const Artwork& artwork, const QImage& image);
  // Learns ratios from small thumbnails of the visible works of unknown format.
  void measureFormats(std::function<void()> done = {});
  // The series' own background, else the image's edge colour, else the default.
  QColor matte(const Artwork& artwork, const QImage& image = {}) const;
  // The still of a live work at a pixel size: from the media cache, else
  // (when asked to) rendered once by a probe and cached. A null image when
  // there is none; a size that is not finite, empty or huge gets none at once.
  void renderedStill(const Artwork& artwork, QSizeF pixelSize, double scale, bool computeIfMissing,
                     std::function<void(QImage)> done);

  // Media cache keys: "still:<id>:<w>x<h>" and "still-empty:<id>".
  static std::string stillKey(const std::string& artworkID, int width, int height);
  static std::string emptyStillKey(const std::string& artworkID);

  const std::optional<Progress>& analysisProgress() const { return analysisProgress_; }
  bool analysisStopRequested() const { return analysisStopRequested_; }
  // Set by the views; the analysis stops after the series under way.
  void setAnalysisStopRequested(bool requested);
  const std::optional<Progress>& formatProgress() const { return formatProgress_; }

 signals:
  void analysisProgressChanged();
  void analysisStopRequestedChanged();
  void formatProgressChanged();

  // ======================================================================

 signals:
  // Edits of one turn of the event loop, reported together after it.
  void libraryChanged(const tavolune::LibraryChange& change);
  void loadedChanged();
  void syncingWalletsChanged();
  void noticeChanged();
  void pendingSeriesCountChanged();
  void desktopPoolCountChanged();
  // A scheduled save reached the disk (or failed to).
  void saved();

 private:
  struct SyncJob {
    Wallet wallet;
    std::stop_source stop{};
    std::vector<std::function<void()>> waiters{};
    bool started = false;
    bool again = false;  // the wallet's contracts changed while it synced
  };

  void finishLoad(LibraryState loaded);
  void startSync(const Uuid& walletID);
  void startQueuedSyncs();
  void finishSync(const Uuid& walletID, SyncResult result);
  void finishAddWallet(const std::string& text, WalletRole role, const ResolvedAddress& resolved,
                       std::function<void(AddWalletOutcome)> done);
  void resyncAfterContractChange(const Uuid& walletID, std::function<void()> done);
  void syncInTurn(std::shared_ptr<std::vector<Uuid>> ids, std::size_t next, std::function<void()> done);
  // Changes the library (see LibraryWriter::Patch for what the patch may
  // depend on), keeps the listing, schedules the save and the series count
  // and reports the change after this turn.
  void edit(LibraryWriter::Patch patch, LibraryChange change);
  // The journal and the change report of an edit already made on state_.
  void edited(LibraryWriter::Patch patch, LibraryChange change);
  void deliverChange();
  void reportLater(LibraryChange change);
  // Reports a change with no edit of its own, the desktop looking again.
  void desktopLooksAgain(LibraryChange change);
  // Every work of the series, changed in format.
  LibraryChange seriesChange(const std::string& seriesKey) const;
  void schedulePendingSeriesCount();
  // Tests set up a library without operations (tests/support/SeedLibrary.hpp).
  friend void seedLibrary(AppModel& model, LibraryWriter::Patch patch);
  friend void seedDesktopChange(AppModel& model);
  void countPendingSeries();
  void countPool();
  void writeSave();
  const Wallet* wallet(const Uuid& id) const;
  QThreadPool& pool() const;

  // --- formats and rendered stills ---
  struct FormatRun;
  ProbeService& probes();
  void finishProbe(const std::string& seriesKey, std::optional<RenderProfile> profile);
  void analyzeNext(std::shared_ptr<std::vector<Artwork>> list, std::size_t next, std::function<void()> done);
  void finishAnalysis(std::function<void()> done);
  void flushRatios();
  // Fills ratios of works that have none.
  void apply(std::unordered_map<std::string, double> ratios);
  void startFormatFetches();
  void formatFetched(const std::string& artworkID, std::optional<double> ratio);
  void stopFormatFetches();
  void renderStill(const Artwork& artwork, QSize pixels, double scale, const std::string& key);
  void finishRender(const std::string& key, QImage image);

  const Options options_;
  // Workers' results come back through it; closed first in the destructor.
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
  LibraryState state_{};
  bool loaded_ = false;
  bool loading_ = false;
  std::unordered_set<Uuid> syncing_;
  std::optional<std::string> notice_;
  std::size_t pendingSeriesCount_ = 0;
  std::optional<std::size_t> poolCount_;
  QTimer poolTimer_;

  std::shared_ptr<MediaCache> cache_;
  ContentFetcher fetcher_;
  ImagePipeline images_;
  mutable LibraryListing listing_;
  LibraryChange pending_;  // reported at the end of this turn
  bool deliveryPosted_ = false;

  std::unique_ptr<LibraryWriter> writer_;
  std::vector<LibraryWriter::Patch> journal_;  // edits since the last save
  QTimer saveTimer_;
  QTimer countTimer_;
  QTimer autoSyncTimer_;

  std::unordered_map<Uuid, SyncJob> jobs_;
  std::deque<Uuid> queued_;  // waiting for one of the sync slots
  std::size_t running_ = 0;

  // --- formats and rendered stills ---
  std::unique_ptr<ProbeService> probes_;  // created on first use
  std::unordered_map<std::string, std::vector<std::function<void(std::optional<RenderProfile>)>>> probing_;
  std::unordered_map<std::string, std::vector<std::function<void(QImage)>>> rendering_;
  std::optional<Progress> analysisProgress_;
  bool analysisStopRequested_ = false;
  std::unordered_map<std::string, double> pendingRatios_;
  QTimer ratioFlush_;
  std::optional<Progress> formatProgress_;
  std::shared_ptr<FormatRun> formatRun_;
  struct FetchCount;
  std::shared_ptr<FetchCount> formatFetches_;
  std::stop_source formatStop_;
};

}  // namespace tavolune
