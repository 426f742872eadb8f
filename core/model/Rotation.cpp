#include "core/model/Rotation.hpp"

#include "core/base/SecureRandom.hpp"

#include <algorithm>
#include <unordered_set>

namespace tavolune::Rotation {

std::size_t secureBelow(std::size_t n) { return static_cast<std::size_t>(SecureRandom::below(n)); }

std::optional<std::string> next(const std::vector<std::string>& pool, const std::optional<std::string>& current,
                                PlaybackOrder order, const std::vector<std::string>& history,
                                const RandomBelow& random) {
  if (pool.empty()) return std::nullopt;
  if (pool.size() == 1) return pool.front();
  if (order == PlaybackOrder::sequential) {
    if (!current) return pool.front();
    auto it = std::find(pool.begin(), pool.end(), *current);
    if (it == pool.end()) return pool.front();
    ++it;
    return it == pool.end() ? pool.front() : *it;
  }
  const std::size_t k = std::min(pool.size() / 2, history.size());
  const std::unordered_set<std::string_view> recent(history.end() - static_cast<std::ptrdiff_t>(k), history.end());
  std::vector<const std::string*> candidates;
  for (const auto& id : pool) {
    if (id != current && !recent.contains(id)) candidates.push_back(&id);
  }
  if (candidates.empty()) {
    for (const auto& id : pool) {
      if (id != current) candidates.push_back(&id);
    }
  }
  if (candidates.empty()) return std::nullopt;
  std::size_t pick = random(candidates.size());
  return *candidates[std::min(pick, candidates.size() - 1)];
}

std::optional<std::string> previous(const std::vector<std::string>& pool, const std::optional<std::string>& current,
                                    const std::vector<std::string>& history) {
  const std::unordered_set<std::string_view> inPool(pool.begin(), pool.end());
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    if (*it == current) continue;
    if (inPool.contains(*it)) return *it;
  }
  if (current) {
    auto it = std::find(pool.begin(), pool.end(), *current);
    if (it != pool.end()) return it == pool.begin() ? pool.back() : *std::prev(it);
  }
  if (pool.empty()) return std::nullopt;
  return pool.back();
}

bool isDue(std::optional<Date> lastChange, double interval, Date now) {
  if (!lastChange) return true;
  const auto elapsed = std::chrono::duration<double>(now - *lastChange).count();
  return elapsed >= interval;
}

}  // namespace tavolune::Rotation
