#include "core/indexers/BlockscoutProvider.hpp"
#include "core/base/Json.hpp"
#include "core/network/JSONValue.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tavolune;

// One explorer answer: as a token record for every chain, and as a page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  JSONValue value;
  try {
    value = JSONValue::parse(text);
  } catch (const json::DecodeError&) {
    return 0;
  }
  for (Chain chain : {Chain::ethereum, Chain::polygon, Chain::tezos}) {
    auto owned = BlockscoutProvider::map(value, chain);
    if (!owned) continue;
    const Artwork& a = owned->artwork;
    if (a.chain != chain || a.title.empty() || a.tokenId.empty() || a.contract.empty()) __builtin_trap();
    if (a.id != Artwork::makeID(chain, a.contract, a.tokenId)) __builtin_trap();
    if (a.aspectRatio && !(std::isfinite(*a.aspectRatio) && *a.aspectRatio > 0)) __builtin_trap();
    if (a.mediaKind == MediaKind::image && a.animationURI) __builtin_trap();
    if (a.imageURI.has_value() != a.thumbnailURI.has_value()) __builtin_trap();
  }
  try {
    auto page = BlockscoutProvider::Page::fromJSONValue(value);
    for (const auto& item : page.items) (void)BlockscoutProvider::map(item, Chain::base);
  } catch (const json::DecodeError&) {
  }
  return 0;
}
