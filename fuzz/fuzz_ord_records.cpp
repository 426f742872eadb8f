// Records from an Ordinals indexer: decoded, then mapped to an artwork.
#include "core/indexers/OrdProvider.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavolune;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  json::Json tree = json::Json::parse(input.begin(), input.end(), nullptr, false);
  if (tree.is_discarded()) return 0;
  try {
    auto info = OrdProvider::AddressInfo::fromJson(tree);
    (void)info;
  } catch (const json::DecodeError&) {
  }
  try {
    auto record = OrdProvider::Inscription::fromJson(tree);
    Artwork a = OrdProvider::map(record, "https://ord.example");
    if (a.tokenId != record.id || a.chain != Chain::bitcoin) std::abort();
    // Media goes to exactly one place, or none for other kinds.
    if (a.imageURI && a.animationURI) std::abort();
    if (a.isSpam && a.mediaKind != MediaKind::other) std::abort();
  } catch (const json::DecodeError&) {
  }
  return 0;
}
