#pragma once

#include "core/model/OwnedArtwork.hpp"
#include "core/model/Chain.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace tavolune {

// The outcome of reading one wallet, handed to the library merge. Never
// persisted.
struct SyncResult {
  // The works found; one artwork id may occur more than once, and the merge
  // then adds the quantities up.
  std::vector<OwnedArtwork> owned{};
  // One user line per failed chain or read, e.g. "Base: network error".
  std::vector<std::string> errors{};
  // owned may be incomplete; the merge keeps what it cannot confirm.
  bool partial = false;
  // Chains not read because the service refused or rate-limited (403/429).
  std::vector<Chain> unchecked{};
  // Series names found for an artist wallet.
  std::vector<std::string> discovered{};
  // Chains whose read failed with anything but 403/429. The merge must not
  // drop earlier holdings on these (nor on unchecked ones): nobody looked.
  std::vector<Chain> failedChains{};

  SyncResult() = default;
  SyncResult(std::vector<OwnedArtwork> owned, std::vector<std::string> errors, bool partial)
      : owned(std::move(owned)), errors(std::move(errors)), partial(partial) {}

  // Entries whose artwork is not flagged as spam.
  std::size_t visibleCount() const;

  // A chain the merge must leave as it was: unchecked or failed.
  bool wasLeftUnread(Chain chain) const;

  friend bool operator==(const SyncResult&, const SyncResult&) = default;
};

}  // namespace tavolune
