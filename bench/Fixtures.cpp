#include "bench/Fixtures.hpp"

#include <array>

namespace tavolune::bench {

std::string words(Rng& rng, std::size_t characters) {
  static constexpr std::array<const char*, 16> vocabulary{
      "light", "dune",    "signal", "drift",  "noise", "field", "grain",  "orbit",
      "tide",  "fracture", "bloom",  "quiet", "vessel", "ember", "lattice", "memory"};
  std::string out;
  while (out.size() < characters) {
    if (!out.empty()) out += ' ';
    out += vocabulary[rng.below(vocabulary.size())];
  }
  out.resize(characters);
  return out;
}

std::string hex(Rng& rng, std::size_t digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < digits; ++i) out += kHex[rng.below(16)];
  return out;
}

std::string fakeCID(Rng& rng) {
  static constexpr char kBase58[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
  std::string out = "Qm";
  for (int i = 0; i < 44; ++i) out += kBase58[rng.below(58)];
  return out;
}

Artwork realisticArtwork(Rng& rng, std::size_t index) {
  const Chain chains[] = {Chain::ethereum, Chain::tezos, Chain::base, Chain::ethereum, Chain::polygon};
  Chain chain = chains[rng.below(5)];
  std::string contract = chain == Chain::tezos ? "KT1" + hex(rng, 33) : "0x" + hex(rng, 40);
  auto cid = fakeCID(rng);
  auto kind = static_cast<MediaKind>(rng.below(3));
  return Artwork::make({
      .chain = chain,
      .contract = contract,
      .tokenId = std::to_string(1000000 + index),
      .title = words(rng, 18) + " #" + std::to_string(index % 500),
      .artist = words(rng, 12),
      .artistAddress = "0x" + hex(rng, 40),
      .collection = words(rng, 16),
      .platform = static_cast<Platform>(rng.below(9)),
      .mediaKind = kind,
      .mime = kind == MediaKind::generative ? "application/x-directory" : "image/png",
      .imageURI = "ipfs://" + cid + "/image.png",
      .thumbnailURI = "https://i.seadn.io/gcs/files/" + hex(rng, 32) + ".png?w=500&auto=format",
      .animationURI = "ipfs://" + fakeCID(rng) + "/index.html?seed=" + std::to_string(index),
      .externalURL = "https://example.art/token/" + std::to_string(index),
      .aspectRatio = 0.75 + static_cast<double>(rng.below(100)) / 100.0,
      .year = static_cast<std::int64_t>(2018 + rng.below(8)),
      .editionNumber = std::to_string(index % 500),
      .editionSize = 500,
      .isSpam = rng.below(50) == 0,
      .description = words(rng, 300),
  });
}

}  // namespace tavolune::bench
