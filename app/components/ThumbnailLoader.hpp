#pragma once
// Feeds the library grid's cells with stills: asks the image pipeline on a
// pool of the loaders' own, so that a fast scroll never starves the rest of
// the application. Requests are coalesced (one fetch per artwork and size,
// however many cells ask), the newest request starts first (what just
// scrolled in), a cell that leaves the view cancels its request (dropped
// when queued, stopped when running: its slot is free at once), and each
// decoded still is
// noted once for its aspect ratio. A failure is remembered for a minute,
// or until the next library change, so that a dead link is not fetched on
// every repaint. GUI thread only; the fetching runs on the pool.

#include "app/components/ImageServices.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/model/Artwork.hpp"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace tavolune {

class ThumbnailLoader final : public QObject {
  Q_OBJECT
 public:
  struct Options {
    int threads = 4;
    std::chrono::milliseconds retryAfter{60'000};
  };
  enum class Status { missing, loading, ready, failed };

  ThumbnailLoader(ImagePipeline& pipeline, RatioNoted noteRatio, Options options, QObject* parent = nullptr);
  ThumbnailLoader(ImagePipeline& pipeline, RatioNoted noteRatio, QObject* parent = nullptr)
      : ThumbnailLoader(pipeline, std::move(noteRatio), Options{}, parent) {}
  // Stops what runs; waits for none of it (the jobs hold what they use).
  ~ThumbnailLoader() override;

  static std::string key(const std::string& artworkID, int maxPixel);

  // From memory only; null when not decoded yet.
  QImage cached(const Artwork& artwork, int maxPixel) const;
  Status status(const Artwork& artwork, int maxPixel) const;

  // Nothing happens when the still is cached, already asked for, or failed
  // less than retryAfter ago.
  void request(const Artwork& artwork, int maxPixel);
  // A request from a painter that found no still in memory: asks for it
  // unless asked already or failed, and says which (loading or failed),
  // without looking in memory again.
  Status ask(const Artwork& artwork, int maxPixel);
  // The cell left the view.
  void cancel(const std::string& artworkID, int maxPixel);
  // Cancels every request whose key (key()) is not in `keep`.
  void cancelAllExcept(const std::unordered_set<std::string>& keep);
  // Cancels every request whose work `drop` names (by its id).
  void cancelWhere(const std::function<bool(const std::string& artworkID)>& drop);
  // Forgets every failure, so that the next request fetches again; the
  // pipeline's failuresExpired() (a library change) calls it.
  void retryFailed();

  // Requests waiting for a slot, and slots in use (a cancelled fetch gives
  // its slot back when it is cancelled).
  std::size_t queued() const;
  int running() const { return int(running_.size()); }

 signals:
  // The key's still arrived, its load failed, or its failure expired:
  // repaint the cell.
  void thumbnailChanged(const QString& key);

 private:
  struct Job {
    Artwork artwork;
    int maxPixel = 0;
    std::uint64_t id = 0;
    bool started = false;
    std::stop_source stop;
  };
  void pump();
  // Asks anew, or again while waiting (it moves to the front of the line).
  void enqueue(const std::string& key, const Artwork& artwork, int maxPixel);
  template <class Drop>
  void dropJobs(Drop drop);
  void start(const std::string& key, Job& job);
  // Asks a running job to stop and frees its slot.
  void stopJob(const Job& job);
  void landed(const std::string& key, std::uint64_t id, const Artwork& artwork, const QImage& image, bool stopped);
  void expireFailures();
  bool failedRecently(const std::string& key) const;

  ImagePipeline& pipeline_;
  RatioNoted noteRatio_;
  Options options_;
  // Shared by every loader and never destroyed: a loader that goes leaves
  // its stopped jobs behind, and nothing waits for them.
  static QThreadPool& pool();
  std::unordered_map<std::string, Job> jobs_;   // queued and running, by key
  std::deque<std::string> queue_;              // keys waiting, newest at the back
  std::unordered_set<std::uint64_t> running_;  // jobs holding a slot, by id
  std::uint64_t nextID_ = 0;
  std::unordered_map<std::string, std::chrono::steady_clock::time_point> failures_;
  QTimer expiry_;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
