#pragma once

#include "core/model/OwnedArtwork.hpp"
#include "core/model/Chain.hpp"
#include "core/model/Wallet.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How an artist wallet is recognised: its name variants, whether a work's
// credit names the artist, and the artist's series among the works held.
namespace tavolune::ArtistDiscovery {

struct Series {
  Chain chain = Chain::ethereum;
  std::string contract{};                 // lower case
  std::optional<std::int64_t> project{};  // set on a shared generative-platform contract
  std::string name{};                     // the work's collection, else its title

  friend bool operator==(const Series&, const Series&) = default;
};

// Case and diacritics folded, only letters, marks and numbers kept, lower
// case: "Éva-Maria K." and "eva maria k" meet as "evamariak".
std::string normalize(std::string_view text);

// The normalised names of the wallet's resolved name and label (without a
// trailing .eth, .tez or .base.eth); short ones and addresses drop out.
std::vector<std::string> names(const Wallet& wallet);

// Whether one of the artists named in the credit is one of names, which
// must come from names(wallet): they are compared as given.
bool isSigned(const std::optional<std::string>& credit, const std::vector<std::string>& names);

// The distinct series of the works signed by names, sorted by name in the
// file manager's order; equal names keep the order in which they were met.
std::vector<Series> series(const std::vector<OwnedArtwork>& owned, const std::vector<std::string>& names);

}  // namespace tavolune::ArtistDiscovery

template <>
struct std::hash<tavolune::ArtistDiscovery::Series> {
  std::size_t operator()(const tavolune::ArtistDiscovery::Series& s) const noexcept;
};
