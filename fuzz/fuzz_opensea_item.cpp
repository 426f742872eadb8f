#include "core/indexers/OpenSeaKeyStore.hpp"
#include "core/indexers/OpenSeaProvider.hpp"
#include "core/base/Json.hpp"
#include "core/network/JSONValue.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tavolune;

// One OpenSea NFT object through the mapping, and the same bytes as a key
// service answer and an expiry text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)OpenSeaKeyStore::date(text);
  if (auto stored = OpenSeaKeyStore::Stored::decode(text)) (void)OpenSeaKeyStore::date(stored->expires_at);

  JSONValue value;
  try {
    value = JSONValue::parse(text);
  } catch (const json::DecodeError&) {
    return 0;
  }
  const OpenSeaProvider::CreatedCollection collection{
      .slug = "s", .name = "Waves by Studio K", .chain = Chain::base, .contract = "0xabc"};
  for (const auto* artist : {static_cast<const char*>(nullptr), "Ada"}) {
    auto owned = OpenSeaProvider::map(value, collection, artist ? std::optional<std::string>(artist) : std::nullopt);
    if (!owned) continue;
    const Artwork& a = owned->artwork;
    if (owned->quantity != 1 || a.isSpam || a.mime || a.thumbnailURI != a.imageURI) __builtin_trap();
    if (a.chain != Chain::base || a.title.empty()) __builtin_trap();
    if (a.mediaKind == MediaKind::image && a.animationURI) __builtin_trap();
    if (a.mediaKind == MediaKind::other) __builtin_trap();
    if (artist && a.artist != artist) __builtin_trap();
  }
  return 0;
}
