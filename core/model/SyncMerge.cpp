#include "core/model/SyncResult.hpp"
#include "core/model/LibraryState.hpp"

#include <algorithm>
#include <limits>

namespace tavolune {
namespace {

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

// The chain of a held work: from the stored artwork, else from its id.
std::optional<Chain> chainOf(const LibraryState& s, const std::string& id) {
  if (auto it = s.artworks.find(id); it != s.artworks.end()) return it->second.chain;
  return fromRawValue<Chain>(std::string_view(id).substr(0, id.find(':')));
}

std::string joinErrors(const std::vector<std::string>& errors) {
  std::string out;
  for (const auto& e : errors) {
    if (!out.empty()) out += " \u00B7 ";
    out += e;
  }
  return out;
}

}  // namespace

void LibraryState::dropUnownedArtworks() {
  const auto owned = ownedArtworkIDs();
  std::erase_if(artworks, [&owned](const auto& entry) { return !owned.contains(entry.first); });
}

SyncDiff LibraryState::apply(const SyncResult& result, const Uuid& walletID) {
  // A wallet removed while its sync ran gets nothing back.
  const auto wallet = std::find_if(wallets.begin(), wallets.end(), [&](const Wallet& w) { return w.id == walletID; });
  if (wallet == wallets.end()) return {};
  touch();

  Holdings& holdings = ownerships[walletID];
  const Holdings old = std::move(holdings);

  Holdings fresh;
  fresh.reserve(result.owned.size());
  for (const auto& owned : result.owned) {
    auto& quantity = fresh[owned.artwork.id];
    quantity = saturatingAdd(quantity, owned.quantity);
    // Most works come back as they were: leave those untouched.
    auto it = artworks.find(owned.artwork.id);
    if (it != artworks.end() && it->second == owned.artwork) continue;
    Artwork artwork = owned.artwork;
    if (it != artworks.end()) {
      const Artwork& stored = it->second;
      if (!artwork.artist) artwork.artist = stored.artist;
      if (!artwork.collection) artwork.collection = stored.collection;
      if (!artwork.aspectRatio) artwork.aspectRatio = stored.aspectRatio;
      if (artwork == stored) continue;
      it->second = std::move(artwork);
    } else {
      artworks.emplace(artwork.id, std::move(artwork));
    }
  }

  if (result.partial && fresh.size() < old.size()) {
    // A shrinking incomplete read only adds and updates.
    holdings = old;
    for (auto& [id, quantity] : fresh) holdings.insert_or_assign(id, quantity);
  } else {
    // Works on chains nobody read this time stay as they were.
    for (const auto& [id, quantity] : old) {
      if (fresh.contains(id)) continue;
      if (auto chain = chainOf(*this, id); chain && result.wasLeftUnread(*chain)) fresh.emplace(id, quantity);
    }
    holdings = std::move(fresh);
  }

  wallet->lastSync = now();
  wallet->lastError = result.errors.empty() ? std::nullopt : std::optional(joinErrors(result.errors));
  wallet->uncheckedChains = result.unchecked.empty() ? std::nullopt : std::optional(result.unchecked);
  if (wallet->isArtist()) {
    wallet->discoveredSeries = result.discovered.empty() ? std::nullopt : std::optional(result.discovered);
  }

  SyncDiff diff;
  for (const auto& [id, quantity] : holdings) {
    if (!old.contains(id)) diff.added.insert(id);
  }
  for (const auto& [id, quantity] : old) {
    if (!holdings.contains(id)) diff.removed.insert(id);
  }
  // Only what this wallet let go can have lost its last holder.
  for (const auto& id : diff.removed) {
    const bool held = std::any_of(ownerships.begin(), ownerships.end(),
                                  [&id](const auto& entry) { return entry.second.contains(id); });
    if (!held) artworks.erase(id);
  }
  return diff;
}

void LibraryState::removeWallet(const Uuid& walletID) {
  touch();
  std::erase_if(wallets, [&walletID](const Wallet& w) { return w.id == walletID; });
  ownerships.erase(walletID);
  dropUnownedArtworks();
}

}  // namespace tavolune
