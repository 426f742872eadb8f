#include "core/concurrency/BatchWorkers.hpp"

#include <stdexcept>

namespace tavolune {

BatchWorkers::~BatchWorkers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  threads_.clear();  // joins
}

std::vector<std::exception_ptr> BatchWorkers::run(std::size_t n, const std::function<void(std::size_t)>& body) {
  if (n > width_) throw std::invalid_argument("batch wider than its workers");
  std::vector<std::exception_ptr> errors(n);
  if (n == 0) return errors;
  if (n > 1 && threads_.empty()) {
    threads_.reserve(width_ - 1);
    for (std::size_t i = 1; i < width_; ++i) threads_.emplace_back([this, i] { work(i); });
  }
  {
    std::lock_guard lock(mutex_);
    body_ = &body;
    errors_ = &errors;
    count_ = n;
    pending_ = n - 1;
    ++generation_;
  }
  if (n > 1) wake_.notify_all();
  try {
    body(0);
  } catch (...) {
    errors[0] = std::current_exception();
  }
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
  body_ = nullptr;
  errors_ = nullptr;
  return errors;
}

void BatchWorkers::work(std::size_t index) {
  std::size_t seen = 0;
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    if (index >= count_) continue;
    const auto* body = body_;
    auto* errors = errors_;
    lock.unlock();
    try {
      (*body)(index);
    } catch (...) {
      (*errors)[index] = std::current_exception();
    }
    lock.lock();
    if (--pending_ == 0) done_.notify_one();
  }
}

}  // namespace tavolune
