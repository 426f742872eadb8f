// Artist credits and wallet names as indexers and users write them.
#include "core/indexers/ArtistDiscovery.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavolune;
  std::string input(reinterpret_cast<const char*>(data), size);
  // First line: the wallet's label; the rest: a credit.
  auto cut = input.find('\n');
  std::string label = input.substr(0, cut);
  std::string credit = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  Wallet w = Wallet::make(Uuid::random(), label, label, "0x0", label + ".eth", ChainFamily::evm);
  auto names = ArtistDiscovery::names(w);
  for (const auto& n : names) {
    if (n.starts_with("0x") || n.empty()) std::abort();
  }
  bool signedByLabel = ArtistDiscovery::isSigned(credit, names);
  // A credit that is exactly one of the names, normalised, is always signed.
  if (!names.empty() && !ArtistDiscovery::isSigned(names.front(), names)) std::abort();
  (void)signedByLabel;
  (void)ArtistDiscovery::normalize(credit);
  return 0;
}
