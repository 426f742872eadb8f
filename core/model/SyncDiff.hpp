#pragma once

#include <string>
#include <unordered_set>

namespace tavolune {

// What one wallet's merge changed in its holdings.
struct SyncDiff {
  std::unordered_set<std::string> added{};    // held now, not before
  std::unordered_set<std::string> removed{};  // held before, not now

  friend bool operator==(const SyncDiff&, const SyncDiff&) = default;
};

}  // namespace tavolune
