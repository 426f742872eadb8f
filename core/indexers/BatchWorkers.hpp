#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tavolune {

// A fixed set of threads that runs one batch at a time: run(n, body) calls
// body(0) .. body(n - 1) at the same time (the caller's thread takes index
// 0) and returns once all have finished. The threads live as long as the
// object, one operation's worth of batches, so a long listing does not pay
// for starting threads again for every batch. Never shared between
// operations, so one caller's batches cannot wait behind another's.
class BatchWorkers {
 public:
  explicit BatchWorkers(std::size_t width) : width_(width == 0 ? 1 : width) {}
  ~BatchWorkers();
  BatchWorkers(const BatchWorkers&) = delete;
  BatchWorkers& operator=(const BatchWorkers&) = delete;

  std::size_t width() const { return width_; }

  // n must not exceed width(). What a body throws is caught and returned at
  // its index.
  std::vector<std::exception_ptr> run(std::size_t n, const std::function<void(std::size_t)>& body);

 private:
  void work(std::size_t index);

  const std::size_t width_;
  std::vector<std::jthread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::size_t generation_ = 0;
  std::size_t count_ = 0;
  std::size_t pending_ = 0;
  bool stopping_ = false;
  const std::function<void(std::size_t)>* body_ = nullptr;
  std::vector<std::exception_ptr>* errors_ = nullptr;
};

}  // namespace tavolune
