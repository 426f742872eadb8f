#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace tavolune {

// Runs job(index, stop) for every index in [0, count) with at most `width`
// jobs running at once: each time one finishes, the next index starts.
// Returns the values the jobs gave in the order they finished, leaving out
// the empty ones. A stop request on `stop` starts no new job and is passed
// on to the running ones. The first exception a job throws stops the rest
// and is rethrown once every running job has returned.
//
// Uses width - 1 threads of its own plus the calling thread, never a shared
// pool, so windows may nest without starving each other.
template <class T, class Job>
std::vector<T> slidingWindow(std::size_t count, std::size_t width, Job job, std::stop_token stop = {}) {
  std::vector<T> results;
  if (count == 0) return results;
  std::mutex lock;
  std::exception_ptr failure;
  std::atomic<std::size_t> next{0};
  std::stop_source inner;
  std::stop_callback forward(stop, [&inner] { inner.request_stop(); });

  auto worker = [&] {
    const std::stop_token token = inner.get_token();
    while (!token.stop_requested()) {
      const std::size_t index = next.fetch_add(1);
      if (index >= count) return;
      try {
        std::optional<T> value = job(index, token);
        if (value) {
          std::lock_guard guard(lock);
          results.push_back(std::move(*value));
        }
      } catch (...) {
        std::lock_guard guard(lock);
        if (!failure) failure = std::current_exception();
        inner.request_stop();
        return;
      }
    }
  };

  {
    const std::size_t threads = std::min(std::max<std::size_t>(width, 1), count) - 1;
    std::vector<std::jthread> helpers;
    helpers.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) helpers.emplace_back(worker);
    worker();
  }  // joins the helpers
  if (failure) std::rethrow_exception(failure);
  return results;
}

}  // namespace tavolune
