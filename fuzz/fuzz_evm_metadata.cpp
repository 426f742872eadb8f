#include "core/indexers/EVMIndexer.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace tavolune;

// A metadata document carried on chain in a data URL: decoded and applied
// without any request.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const HTTPClient http;
  std::string uri = "data:application/json,";
  uri += url::percentEncode(std::string_view(reinterpret_cast<const char*>(data), size));
  Artwork listed = Artwork::make({.chain = Chain::ethereum, .contract = "0xabc", .tokenId = "1", .title = "T"});
  OpenSeaProvider::ListedNFT item{OwnedArtwork{listed, 3}, uri};
  OwnedArtwork out = EVMIndexer::enrich(item, http, {});
  if (out.quantity != 3 || out.artwork.id != listed.id || out.artwork.title != "T") __builtin_trap();
  if (out.artwork.aspectRatio && !(std::isfinite(*out.artwork.aspectRatio) && *out.artwork.aspectRatio > 0)) {
    __builtin_trap();
  }
  if (out.artwork.imageURI != out.artwork.thumbnailURI) __builtin_trap();
  return 0;
}
