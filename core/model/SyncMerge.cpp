#include "core/model/SyncResult.hpp"
#include "core/model/LibraryState.hpp"

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
  touch();
  Holdings old;
  if (auto it = ownerships.find(walletID); it != ownerships.end()) old = it->second;

  Holdings fresh;
  for (const auto& owned : result.owned) {
    Artwork artwork = owned.artwork;
    if (auto it = artworks.find(artwork.id); it != artworks.end()) {
      const Artwork& stored = it->second;
      if (!artwork.artist) artwork.artist = stored.artist;
      if (!artwork.collection) artwork.collection = stored.collection;
      if (!artwork.aspectRatio) artwork.aspectRatio = stored.aspectRatio;
    }
    auto& quantity = fresh[artwork.id];
    quantity = saturatingAdd(quantity, owned.quantity);
    artworks.insert_or_assign(artwork.id, std::move(artwork));
  }

  Holdings& holdings = ownerships[walletID];
  if (result.partial && fresh.size() < old.size()) {
    // A shrinking incomplete read only adds and updates.
    for (auto& [id, quantity] : fresh) holdings.insert_or_assign(id, quantity);
  } else {
    // Works on chains nobody read this time stay as they were.
    for (const auto& [id, quantity] : old) {
      if (fresh.contains(id)) continue;
      if (auto chain = chainOf(*this, id); chain && result.wasLeftUnread(*chain)) fresh.emplace(id, quantity);
    }
    holdings = std::move(fresh);
  }

  for (auto& wallet : wallets) {
    if (wallet.id != walletID) continue;
    wallet.lastSync = now();
    wallet.lastError = result.errors.empty() ? std::nullopt : std::optional(joinErrors(result.errors));
    wallet.uncheckedChains = result.unchecked.empty() ? std::nullopt : std::optional(result.unchecked);
    if (wallet.isArtist()) {
      wallet.discoveredSeries = result.discovered.empty() ? std::nullopt : std::optional(result.discovered);
    }
    break;
  }

  dropUnownedArtworks();

  SyncDiff diff;
  const Holdings& held = ownerships[walletID];
  for (const auto& [id, quantity] : held) {
    if (!old.contains(id)) diff.added.insert(id);
  }
  for (const auto& [id, quantity] : old) {
    if (!held.contains(id)) diff.removed.insert(id);
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
