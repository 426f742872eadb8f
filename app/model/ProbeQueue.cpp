#include "app/model/ProbeQueue.hpp"

namespace tavolune {

ProbeQueue::ProbeQueue(std::unique_ptr<ProbeService> service) : service_(std::move(service)) {
  service_->onRanOutOfTime = [this](const Artwork& artwork) {
    if (onRanOutOfTime) onRanOutOfTime(artwork);
  };
}

void ProbeQueue::measure(const Artwork& artwork, double settle,
                         std::function<void(std::optional<RenderProfile>)> done) {
  enqueue([this, artwork, settle, done = std::move(done)](std::function<void()> finished) {
    service_->measure(artwork, settle, [done, finished](std::optional<RenderProfile> profile) {
      finished();
      done(std::move(profile));
    });
  });
}

void ProbeQueue::renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                             std::function<void(Still)> done) {
  enqueue([this, artwork, pixelSize, scale, maxWait, done = std::move(done)](std::function<void()> finished) {
    service_->renderStill(artwork, pixelSize, scale, maxWait, [done, finished](Still still) {
      finished();
      done(std::move(still));
    });
  });
}

void ProbeQueue::enqueue(Job job) {
  waiting_.push_back(std::move(job));
  startWaiting();
}

void ProbeQueue::startWaiting() {
  while (running_ < maxRunning && !waiting_.empty()) {
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    ++running_;
    job([this, once = std::make_shared<bool>(false)] {
      if (*once) return;
      *once = true;
      --running_;
      startWaiting();
    });
  }
}

}  // namespace tavolune
