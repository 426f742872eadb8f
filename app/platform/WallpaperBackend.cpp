#include "app/platform/WallpaperBackend.hpp"

#include <QMetaObject>

namespace tavolune {

WallpaperBackend::WallpaperBackend(SystemLog& log, QObject* parent) : QObject(parent), log_(log) {}

WallpaperBackend::~WallpaperBackend() { *alive_ = false; }

void WallpaperBackend::setPicture(WallpaperRequest request, QObject* context, Done done) {
  queue_.push_back({std::move(request), context, std::move(done)});
  // Start from the event loop so that done never runs inside this call.
  if (!running_) {
    running_ = true;
    QMetaObject::invokeMethod(this, &WallpaperBackend::runNext, Qt::QueuedConnection);
  }
}

void WallpaperBackend::runNext() {
  if (queue_.empty()) {
    running_ = false;
    return;
  }
  auto job = std::make_shared<Pending>(std::move(queue_.front()));
  queue_.pop_front();
  apply(job->request, [this, job, alive = alive_](Outcome outcome) {
    if (!*alive) return;
    if (outcome) log_.error(("wallpaper not applied (" + *outcome + ")").toStdString());
    QMetaObject::invokeMethod(
        this,
        [this, job, outcome] {
          if (job->context && job->done) job->done(outcome);
          runNext();
        },
        Qt::QueuedConnection);
  });
  // The back end took what it needs; a large picture is freed by whoever
  // used it last, not by the GUI thread when the answer comes.
  job->request.picture = QImage();
}

}  // namespace tavolune
