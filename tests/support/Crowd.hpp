#pragma once
// Counts the jobs that run at once. The first ones wait until `full` of them
// are in (or a generous time has passed), so that the peak shows a bound of
// `full` on any machine, however slowly it starts them. Thread-safe.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tavolune::testsupport {

class Crowd {
 public:
  explicit Crowd(int full) : full_(full) {}

  // Called by each job while it runs.
  void pass() {
    std::unique_lock lock(mutex_);
    peak_ = std::max(peak_, ++inside_);
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return peak_ >= full_; });
    --inside_;
  }

  int peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
  }

 private:
  const int full_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int inside_ = 0;
  int peak_ = 0;
};

}  // namespace tavolune::testsupport
