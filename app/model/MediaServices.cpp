#include "app/model/MediaServices.hpp"

#include "app/model/FetcherImageSource.hpp"
#include "core/media/OnchfsResolver.hpp"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QString>
#include <QThreadPool>

namespace tavolune {

MediaServices::MediaServices(const ModelOptions& options, QObject* parent)
    : QObject(parent),
      pool_(options.threadPool()),
      cache_(std::make_shared<MediaCache>(options.cacheDirectory, cacheLimitBytes)),
      fetcher_(options.http, cache_, options.services.gateways,
               std::make_shared<OnchfsResolver>(options.http, options.services.tzktAPI)),
      images_(std::make_shared<FetcherImageSource>(fetcher_), options.svg) {
  report_.setSingleShot(true);
  report_.setTimerType(Qt::CoarseTimer);
  report_.setInterval(cacheReportInterval);
  connect(&report_, &QTimer::timeout, this, &MediaServices::report);
}

MediaServices::~MediaServices() = default;

void MediaServices::pruneCache() {
  pool_.start([cache = cache_] { cache->prune(); });
}

MediaServices::CacheFollowing MediaServices::followCache() {
  if (followers_++ == 0) {
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &MediaServices::folderChanged);
    watchFolder();
  }
  // The pointer is only a token: the deleter ends the following.
  return CacheFollowing(static_cast<void*>(this), [self = QPointer<MediaServices>(this)](void*) {
    if (self) self->unfollow();
  });
}

void MediaServices::unfollow() {
  if (followers_ == 0 || --followers_ > 0) return;
  delete watcher_;
  watcher_ = nullptr;
  report_.stop();
}

void MediaServices::watchFolder() {
  const QString folder = QString::fromStdString(cache_->directory().string());
  if (watcher_ && !watcher_->directories().contains(folder) && QFileInfo::exists(folder)) watcher_->addPath(folder);
}

void MediaServices::folderChanged() {
  // A throttle rather than a debounce: a page that keeps storing files
  // still sees the size move once per interval.
  if (!report_.isActive()) report_.start();
  // A clearing removes the folder itself, and its watch with it.
  watchFolder();
}

void MediaServices::report() {
  watchFolder();
  emit cacheChanged();
}

}  // namespace tavolune
