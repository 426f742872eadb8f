#pragma once
// A number of bytes that fetches may take from the network and store, such
// as one live page load's. Thread-safe.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavolune {

class ByteBudget {
 public:
  explicit ByteBudget(std::int64_t bytes) : left_(bytes) {}

  // Takes n bytes when that many are left; else takes nothing and, from
  // then on, the budget counts as spent.
  bool take(std::size_t n) {
    std::int64_t left = left_.load();
    const auto wanted = static_cast<std::int64_t>(n);
    while (left >= wanted) {
      if (left_.compare_exchange_weak(left, left - wanted)) return true;
    }
    left_.store(-1);
    return false;
  }

  // Bytes still left; negative once a take was refused.
  std::int64_t left() const { return left_.load(); }
  // Nothing left: every further fetch fails.
  bool spent() const { return left_.load() <= 0; }

 private:
  std::atomic<std::int64_t> left_;
};

}  // namespace tavolune
