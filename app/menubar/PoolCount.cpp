#include "app/menubar/PoolCount.hpp"

#include <functional>
#include <string>

namespace tavolune {
namespace {

// Order-independent sum of the members of a set (hash maps list them in
// any order); each set is mixed in with its own salt.
template <class Set>
std::uint64_t setSum(const Set& set) {
  std::uint64_t sum = set.size();
  for (const auto& item : set) sum += std::hash<std::string>{}(item)*0x9E3779B97F4A7C15ULL + 1;
  return sum;
}

std::uint64_t mix(std::uint64_t seed, std::uint64_t value) {
  return seed ^ (value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

std::uint64_t PoolCount::fingerprint(const LibraryState& s) {
  std::uint64_t f = s.artworks.size();
  for (const auto& w : s.wallets) {
    f = mix(f, std::hash<std::string>{}(w.id.string()));
    f = mix(f, w.role ? std::uint64_t(*w.role) + 1 : 0);
    f = mix(f, w.lastSync ? std::uint64_t(w.lastSync->time_since_epoch().count()) : 0);
    const auto held = s.ownerships.find(w.id);
    f = mix(f, held != s.ownerships.end() ? held->second.size() : 0);
  }
  f = mix(f, s.ownerships.size());
  f = mix(f, setSum(s.hiddenArtworks));
  f = mix(f, setSum(s.hiddenCollections));
  f = mix(f, setSum(s.onDesktop));
  std::uint64_t spam = s.spamOverrides.size();
  for (const auto& [id, flag] : s.spamOverrides) spam += std::hash<std::string>{}(id) * (flag ? 3 : 5);
  f = mix(f, spam);
  for (const auto& e : s.exhibitions) {
    f = mix(f, std::hash<std::string>{}(e.id.string()));
    for (const auto& id : e.artworkIDs) f = mix(f, std::hash<std::string>{}(id));
  }
  f = mix(f, s.activeExhibition ? std::hash<std::string>{}(s.activeExhibition->string()) : 0);
  return f;
}

std::size_t PoolCount::of(const LibraryState& state) {
  const std::uint64_t now = fingerprint(state);
  if (fingerprint_ != now) {
    fingerprint_ = now;
    count_ = state.desktopPoolCount();
    ++recounts_;
  }
  return count_;
}

}  // namespace tavolune
