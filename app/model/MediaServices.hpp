#pragma once
// The media every view shares: the disk cache of fetched media and
// rendered stills, the fetcher that fills it, and the image pipeline
// (decoding, memory cache) on top. GUI thread only; the cache and the
// fetcher themselves are thread-safe, pruning runs on the pool.

#include "app/model/ModelOptions.hpp"
#include "app/render/ImagePipeline.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/media/MediaCache.hpp"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

class QFileSystemWatcher;
class QThreadPool;

namespace tavolune {

class MediaServices final : public QObject {
  Q_OBJECT
 public:
  static constexpr std::int64_t cacheLimitBytes = 1'073'741'824;  // 1 GiB
  // A burst of writes (a live page's files, a sync's stills) is reported
  // once per interval, not once per file.
  static constexpr std::chrono::milliseconds cacheReportInterval{1000};

  explicit MediaServices(const ModelOptions& options, QObject* parent = nullptr);
  ~MediaServices() override;
  MediaServices(const MediaServices&) = delete;
  MediaServices& operator=(const MediaServices&) = delete;

  MediaCache& cache() { return *cache_; }
  // The same cache, for work on the pool that may outlive these services.
  const std::shared_ptr<MediaCache>& sharedCache() const { return cache_; }
  const ContentFetcher& fetcher() const { return fetcher_; }
  ImagePipeline& images() { return images_; }

  // Trims the disk cache to its limit, off this thread.
  void pruneCache();

  // While any handle lives, the cache's folder is watched and its changes
  // reported by cacheChanged; with none, nothing watches it. Whoever writes
  // (the fetcher for any view or page, rendered stills, prunes, clearing)
  // is seen, as the folder itself is watched. A handle may outlive this.
  using CacheFollowing = std::shared_ptr<void>;
  [[nodiscard]] CacheFollowing followCache();
  bool isFollowingCache() const { return followers_ > 0; }
  // Whether changes are seen that cacheChanged has yet to report.
  bool hasUnreportedCacheChange() const { return report_.isActive(); }

 signals:
  // Files of the disk cache were written or removed since the last report:
  // its size may differ. Not emitted while nobody follows the cache.
  void cacheChanged();

 private:
  void unfollow();
  void folderChanged();
  void report();
  void watchFolder();

  QThreadPool& pool_;
  std::shared_ptr<MediaCache> cache_;
  ContentFetcher fetcher_;
  ImagePipeline images_;
  int followers_ = 0;
  QFileSystemWatcher* watcher_ = nullptr;  // while followed
  QTimer report_;
};

}  // namespace tavolune
