#pragma once
// A probe service whose jobs wait until the test answers them, and that
// counts how many are up at once. GUI thread only.

#include "app/stage/ProbeService.hpp"
#include "core/media/ContentFetcher.hpp"

#include <algorithm>
#include <deque>
#include <memory>
#include <stdexcept>

namespace tavolune::testsupport {

class FakeProbeService final : public ProbeService {
 public:
  // The app model's probes option: makes the model's fake and points slot at it.
  static auto into(FakeProbeService*& slot) {
    return [&slot](const ContentFetcher&) -> std::unique_ptr<ProbeService> {
      auto made = std::make_unique<FakeProbeService>();
      slot = made.get();
      return made;
    };
  }

  struct Job {
    Artwork artwork;
    bool still = false;
    QSize pixelSize;
    double scale = 0;
    double wait = 0;  // settle or maxWait
    std::function<void(std::optional<RenderProfile>)> measured;
    std::function<void(Still)> rendered;
  };

  void measure(const Artwork& artwork, double settle, std::function<void(std::optional<RenderProfile>)> done) override {
    add({artwork, false, {}, 0, settle, std::move(done), {}});
  }
  void renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                   std::function<void(Still)> done) override {
    add({artwork, true, pixelSize, scale, maxWait, {}, std::move(done)});
  }

  // Answers the oldest job still up (a measurement or a still).
  void answer(std::optional<RenderProfile> profile) {
    Job job = take();
    if (job.still) throw std::logic_error("the oldest job is a still");
    job.measured(std::move(profile));
  }
  void answer(Still still) {
    Job job = take();
    if (!job.still) throw std::logic_error("the oldest job is a measurement");
    job.rendered(std::move(still));
  }

  const std::deque<Job>& up() const { return up_; }
  int started = 0;
  std::size_t mostUp = 0;

 private:
  void add(Job job) {
    ++started;
    up_.push_back(std::move(job));
    mostUp = std::max(mostUp, up_.size());
  }
  Job take() {
    if (up_.empty()) throw std::logic_error("no probe is up");
    Job job = std::move(up_.front());
    up_.pop_front();
    return job;
  }
  std::deque<Job> up_;
};

}  // namespace tavolune::testsupport
