#include "app/platform/WallpaperBackend.hpp"

#include <QMetaObject>

namespace tavolune {

WallpaperBackend::WallpaperBackend(SystemLog& log, QObject* parent) : QObject(parent), log_(log) {}

WallpaperBackend::~WallpaperBackend() { mailbox_->close(); }

void WallpaperBackend::setPicture(WallpaperRequest request, QObject* context, Done done) {
  enqueue({context, Set{std::move(request), std::move(done)}});
}

void WallpaperBackend::currentPicture(Display display, int workspace, QObject* context, Shown done) {
  enqueue({context, Read{std::move(display), workspace, std::move(done)}});
}

void WallpaperBackend::enqueue(Pending pending) {
  queue_.push_back(std::move(pending));
  // Start from the event loop so that no answer runs inside the caller's call.
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
  // The reply goes out from the event loop, then the next job starts.
  auto answer = [this, job, mailbox = mailbox_](std::function<void()> reply) {
    mailbox->post([this, job, reply = std::move(reply)] {
      if (job->context) reply();
      runNext();
    });
  };
  // The pointers stay valid: every answer holds the job.
  if (auto* r = std::get_if<Read>(&job->job)) {
    read(r->display, r->workspace, [answer, r](std::optional<QString> file) {
      answer([r, file] {
        if (r->done) r->done(file);
      });
    });
    return;
  }
  auto* set = &std::get<Set>(job->job);
  apply(set->request, [this, answer, set, mailbox = mailbox_](Outcome outcome) {
    if (!mailbox->isOpen()) return;
    if (outcome) log_.error(("wallpaper not applied (" + *outcome + ")").toStdString());
    answer([set, outcome] {
      if (set->done) set->done(outcome);
    });
  });
  // The back end took what it needs; a large picture is freed by whoever
  // used it last, not by the GUI thread when the answer comes.
  set->request.picture = QImage();
}

}  // namespace tavolune
