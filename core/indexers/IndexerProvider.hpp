#pragma once

#include "core/model/OwnedArtwork.hpp"
#include "core/model/Chain.hpp"
#include "core/base/TavoluneError.hpp"

#include <stop_token>
#include <string>
#include <vector>

namespace tavolune {

// A service that lists the tokens one address holds on a chain. The sync
// engine offers every chain to its providers in order; the first that
// returns wins. An empty list is a success: only a thrown error counts as
// the provider failing.
class IndexerProvider {
 public:
  virtual ~IndexerProvider() = default;

  // The provider's display name.
  virtual std::string name() const = 0;
  // Whether this provider reads that chain; answered at once.
  virtual bool supports(Chain chain) const = 0;
  // One entry per token the owner holds on chain. Blocks; may throw
  // TavoluneError, TransportError or CancellationError.
  virtual std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const = 0;
};

}  // namespace tavolune
