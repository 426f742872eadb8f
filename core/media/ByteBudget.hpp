#pragma once
// A number of bytes that fetches may move over the network and keep, such
// as one live page load's. Thread-safe.

#include <algorithm>
#include <array>
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
    if (left_.load() >= 0 && takeUpTo(n) == n) return true;
    left_.store(-1);
    return false;
  }
  // Takes as much of n as is left, and answers how much that was.
  std::size_t takeUpTo(std::size_t n) {
    std::int64_t left = left_.load();
    while (left > 0) {
      const auto taken = std::min(left, static_cast<std::int64_t>(std::min<std::size_t>(n, INT64_MAX)));
      if (left_.compare_exchange_weak(left, left - taken)) return static_cast<std::size_t>(taken);
    }
    return 0;
  }
  // Gives back bytes taken as room and never used; a spent budget stays
  // spent. Bytes that moved are never given back.
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

// One fetch's draw on up to two budgets at once (a page load's and its
// work's), either of which may be absent. Not thread-safe itself.
class BudgetDraw {
 public:
  BudgetDraw(ByteBudget* load, ByteBudget* work) : budgets_{load, work} {}

  // Bytes moved or kept, taken for good from both; refused when either has
  // fewer left, which is then spent, and the other keeps them.
  bool take(std::size_t n) {
    if (budgets_[0] && !budgets_[0]->take(n)) return refuse();
    if (budgets_[1] && !budgets_[1]->take(n)) {
      if (budgets_[0]) budgets_[0]->release(n);
      return refuse();
    }
    taken_ += n;
    return true;
  }
  // What take() has taken so far.
  std::size_t taken() const { return taken_; }
  // Room for bytes that may come: as much of n as both have left.
  std::size_t takeUpTo(std::size_t n) {
    std::size_t granted = n;
    if (budgets_[0]) granted = budgets_[0]->takeUpTo(granted);
    if (budgets_[1]) {
      const std::size_t both = budgets_[1]->takeUpTo(granted);
      if (budgets_[0]) budgets_[0]->release(granted - both);
      granted = both;
    }
    if (granted < n) ranShort_ = true;
    return granted;
  }
  // Room taken and not used.
  void giveBack(std::size_t n) {
    for (ByteBudget* b : budgets_) {
      if (b) b->release(n);
    }
  }
  // A take was refused or room cut short: the fetch ran into a budget.
  bool ranShort() const { return ranShort_; }

 private:
  bool refuse() {
    ranShort_ = true;
    return false;
  }
  std::array<ByteBudget*, 2> budgets_;
  std::size_t taken_ = 0;
  bool ranShort_ = false;
};

}  // namespace tavolune
