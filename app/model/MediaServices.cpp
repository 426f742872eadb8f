#include "app/model/MediaServices.hpp"

#include "app/model/FetcherImageSource.hpp"
#include "core/media/OnchfsResolver.hpp"

#include <QThreadPool>

namespace tavolune {

MediaServices::MediaServices(const ModelOptions& options)
    : pool_(options.threadPool()),
      cache_(std::make_shared<MediaCache>(options.cacheDirectory, cacheLimitBytes)),
      fetcher_(options.http, cache_, options.services.gateways,
               std::make_shared<OnchfsResolver>(options.http, options.services.tzktAPI)),
      images_(std::make_shared<FetcherImageSource>(fetcher_), options.svg) {}

void MediaServices::pruneCache() {
  pool_.start([cache = cache_] { cache->prune(); });
}

}  // namespace tavolune
