#include "core/base/Clock.hpp"

#include "core/base/TavoluneError.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace tavolune {

Clock::Clock() : now_(&Clock::systemNow), sleep_(&Clock::realSleep) {}

Clock::TimePoint Clock::systemNow() { return std::chrono::system_clock::now(); }

void Clock::realSleep(double seconds, std::stop_token stop) {
  if (stop.stop_requested()) throw CancellationError();
  if (!(seconds > 0)) return;
  std::mutex m;
  std::condition_variable_any cv;
  std::unique_lock lock(m);
  auto wait = std::chrono::duration<double>(std::min(seconds, 86400.0));
  cv.wait_for(lock, stop, std::chrono::duration_cast<std::chrono::nanoseconds>(wait), [] { return false; });
  if (stop.stop_requested()) throw CancellationError();
}

}  // namespace tavolune
