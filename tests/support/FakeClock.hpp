#pragma once

#include "core/base/Clock.hpp"
#include "core/base/TavoluneError.hpp"

#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

namespace tavolune::testsupport {

// A clock whose pauses return at once: each pause is recorded and moves
// the time forward by its length. Thread-safe; copies of clock() share it.
class FakeClock {
 public:
  FakeClock() : state_(std::make_shared<State>()) {}

  Clock clock() const {
    auto s = state_;
    return Clock(
        [s] {
          std::lock_guard lock(s->mutex);
          return s->now;
        },
        [s](double seconds, std::stop_token stop) {
          if (stop.stop_requested()) throw CancellationError();
          std::lock_guard lock(s->mutex);
          s->pauses.push_back(seconds);
          s->now += std::chrono::duration_cast<Clock::TimePoint::duration>(std::chrono::duration<double>(seconds));
        });
  }

  std::vector<double> pauses() const {
    std::lock_guard lock(state_->mutex);
    return state_->pauses;
  }
  Clock::TimePoint now() const {
    std::lock_guard lock(state_->mutex);
    return state_->now;
  }
  void advance(std::chrono::seconds by) {
    std::lock_guard lock(state_->mutex);
    state_->now += by;
  }

 private:
  struct State {
    std::mutex mutex;
    Clock::TimePoint now = Clock::TimePoint(std::chrono::seconds(1'800'000'000));
    std::vector<double> pauses;
  };
  std::shared_ptr<State> state_;
};

}  // namespace tavolune::testsupport
