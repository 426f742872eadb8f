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
    if (hold(n)) return true;
    left_.store(-1);
    return false;
  }

  // Holds n bytes when that many are left; else holds nothing and leaves
  // the budget as it was. For bytes still arriving: what is held counts
  // against every other fetch at once.
  bool hold(std::size_t n) {
    std::int64_t left = left_.load();
    const auto wanted = static_cast<std::int64_t>(n);
    while (left >= wanted) {
      if (left_.compare_exchange_weak(left, left - wanted)) return true;
    }
    return false;
  }
  // Gives back held bytes that were not kept; a spent budget stays spent.
  void release(std::size_t n) {
    std::int64_t left = left_.load();
    while (left >= 0 && !left_.compare_exchange_weak(left, left + static_cast<std::int64_t>(n))) {
    }
  }

  // Bytes still left; negative once a take was refused.
  std::int64_t left() const { return left_.load(); }
  // Nothing left: every further fetch fails.
  bool spent() const { return left_.load() <= 0; }

 private:
  std::atomic<std::int64_t> left_;
};

}  // namespace tavolune
