#pragma once
// The one line every off-screen probe of the process waits in: the desktop,
// idle measuring, re-measuring and the library all probe through it, and at
// most two pages (a few hundred MB each) are up at once; the others wait
// their turn, first come first served. A job's slot is free the moment it
// answers, which every probe does by its deadline. GUI thread only.

#include "app/stage/ProbeService.hpp"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

namespace tavolune {

class ProbeQueue final : public ProbeService {
 public:
  static constexpr std::size_t maxRunning = 2;

  // Passes the service's onRanOutOfTime on as its own.
  explicit ProbeQueue(std::unique_ptr<ProbeService> service);

  void measure(const Artwork& artwork, double settle, std::function<void(std::optional<RenderProfile>)> done) override;
  void renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                   std::function<void(Still)> done) override;

  std::size_t running() const { return running_; }
  std::size_t waiting() const { return waiting_.size(); }

 private:
  // A job starts its probe and calls finished exactly once when it answered.
  using Job = std::function<void(std::function<void()> finished)>;
  void enqueue(Job job);
  void startWaiting();

  std::unique_ptr<ProbeService> service_;  // answers only while it exists
  std::deque<Job> waiting_;
  std::size_t running_ = 0;
};

}  // namespace tavolune
