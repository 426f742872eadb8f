#pragma once

#include <chrono>
#include <functional>
#include <stop_token>

namespace tavolune {

// The time source and the pause of the indexers. Every pause of a provider
// (batch pauses, the key store's refusal window) goes through one of these,
// so tests and benchmarks can run a schedule without waiting it out.
class Clock {
 public:
  using TimePoint = std::chrono::system_clock::time_point;
  using Now = std::function<TimePoint()>;
  // Waits the given seconds; throws CancellationError when stop is requested
  // before or during the wait.
  using Sleep = std::function<void(double seconds, std::stop_token stop)>;

  // The system clock and a real, cancellable wait.
  Clock();
  Clock(Now now, Sleep sleep) : now_(std::move(now)), sleep_(std::move(sleep)) {}

  TimePoint now() const { return now_(); }
  void sleep(double seconds, std::stop_token stop = {}) const { sleep_(seconds, std::move(stop)); }

  static TimePoint systemNow();
  static void realSleep(double seconds, std::stop_token stop);

 private:
  Now now_;
  Sleep sleep_;
};

}  // namespace tavolune
