#pragma once

#include "core/model/LibraryState.hpp"

#include <initializer_list>
#include <string>

// Small libraries for tests of the library state.
namespace tavolune::testsupport {

inline Artwork work(std::string tokenId, std::string title, MediaKind kind = MediaKind::image,
                    std::optional<std::string> artist = std::nullopt) {
  return Artwork::make({.chain = Chain::ethereum,
                        .contract = "0xC0FFEE",
                        .tokenId = std::move(tokenId),
                        .title = std::move(title),
                        .artist = std::move(artist),
                        .mediaKind = kind});
}

inline Wallet wallet(WalletRole role = WalletRole::collector) {
  return Wallet::make(Uuid::random(), "w", "0xabc", "0xabc", std::nullopt, ChainFamily::evm, std::nullopt, role);
}

// Stores the works and gives them to the wallet (adding the wallet when new).
inline void hold(LibraryState& s, const Wallet& w, std::initializer_list<Artwork> works) {
  bool known = false;
  for (const auto& existing : s.wallets) known = known || existing.id == w.id;
  if (!known) s.wallets.push_back(w);
  auto& holdings = s.ownerships[w.id];
  for (const auto& a : works) {
    s.artworks[a.id] = a;
    holdings[a.id] = 1;
  }
}

inline std::vector<std::string> ids(const std::vector<const Artwork*>& works) {
  std::vector<std::string> out;
  for (const auto* a : works) out.push_back(a->id);
  return out;
}

}  // namespace tavolune::testsupport
