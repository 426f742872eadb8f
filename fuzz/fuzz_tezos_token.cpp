// Any bytes as one row of the two Tezos services: an objkt holding and a
// TzKT balance. Decoding either fails with a DecodeError or gives a row
// whose mapping never throws and yields a Tezos work keyed by its contract
// and token id, with a title and the objkt token page.
#include "core/indexers/ObjktProvider.hpp"
#include "core/indexers/TzKTProvider.hpp"
#include "core/model/Artwork.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

using namespace tavolune;

namespace {

void check(const std::optional<OwnedArtwork>& owned) {
  if (!owned) return;
  const Artwork& a = owned->artwork;
  if (a.chain != Chain::tezos) std::abort();
  if (a.id != Artwork::makeID(Chain::tezos, a.contract, a.tokenId)) std::abort();
  if (a.title.empty() && a.tokenId.empty()) std::abort();
  if (!a.externalURL || a.externalURL->find("/tokens/") == std::string::npos) std::abort();
  if (a.year && (*a.year < 2009 || *a.year > 2100)) std::abort();
  // Spam is exactly "nothing to show" unless the marketplace flagged it.
  if (!a.imageURI && !a.animationURI && !a.isSpam) std::abort();
  if (a.animationURI && a.mediaKind != MediaKind::generative && a.mediaKind != MediaKind::video) std::abort();
  // The thumbnail falls back to the image.
  if (a.imageURI && !a.thumbnailURI) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  JSONValue value;
  try {
    value = JSONValue::parse(text);
  } catch (const json::DecodeError&) {
    return 0;
  }
  const std::string owner = "tz1Viewer";
  try {
    check(ObjktProvider::map(ObjktProvider::Holder::fromJSONValue(value), owner));
  } catch (const json::DecodeError&) {
  }
  try {
    auto balance = TzKTProvider::Balance::fromJSONValue(value);
    auto owned = TzKTProvider::map(balance, owner);
    check(owned);
    if (owned && owned->quantity < 0 && balance.balance.find('-') == std::string::npos) std::abort();
  } catch (const json::DecodeError&) {
  }
  return 0;
}
