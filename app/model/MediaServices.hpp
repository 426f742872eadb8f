#pragma once
// The media every view shares: the disk cache of fetched media and
// rendered stills, the fetcher that fills it, and the image pipeline
// (decoding, memory cache) on top. GUI thread only; the cache and the
// fetcher themselves are thread-safe, pruning runs on the pool.

#include "app/model/ModelOptions.hpp"
#include "app/render/ImagePipeline.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/media/MediaCache.hpp"

#include <cstdint>
#include <memory>

class QThreadPool;

namespace tavolune {

class MediaServices {
 public:
  static constexpr std::int64_t cacheLimitBytes = 1'073'741'824;  // 1 GiB

  explicit MediaServices(const ModelOptions& options);
  MediaServices(const MediaServices&) = delete;
  MediaServices& operator=(const MediaServices&) = delete;

  MediaCache& cache() { return *cache_; }
  // The same cache, for work on the pool that may outlive these services.
  const std::shared_ptr<MediaCache>& sharedCache() const { return cache_; }
  const ContentFetcher& fetcher() const { return fetcher_; }
  ImagePipeline& images() { return images_; }

  // Trims the disk cache to its limit, off this thread.
  void pruneCache();

 private:
  QThreadPool& pool_;
  std::shared_ptr<MediaCache> cache_;
  ContentFetcher fetcher_;
  ImagePipeline images_;
};

}  // namespace tavolune
