// Library file decoding: no input may crash it, the fast and tree readers
// must agree, and whatever decodes must re-encode to a file that decodes to
// the same state.
#include "core/base/FastJson.hpp"
#include "core/model/LibraryState.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

using tavolune::LibraryState;
using tavolune::json::Json;

namespace {

std::optional<LibraryState> decodeFast(std::string_view text) {
  auto doc = tavolune::json::FastDocument::parse(text);
  if (!doc) return std::nullopt;
  try {
    return LibraryState::fromJson(doc->root());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> decodeTree(std::string_view text) {
  try {
    return LibraryState::fromJson(tavolune::json::parseWhole(text)).encode();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool sameState(const LibraryState& a, const LibraryState& b) {
  return a.wallets == b.wallets && a.artworks == b.artworks && a.ownerships == b.ownerships &&
         a.hiddenArtworks == b.hiddenArtworks && a.hiddenCollections == b.hiddenCollections &&
         a.spamOverrides == b.spamOverrides && a.onDesktop == b.onDesktop && a.screens == b.screens &&
         a.settings == b.settings && a.preferredFraming == b.preferredFraming && a.rotations == b.rotations &&
         a.recentlyShown == b.recentlyShown && a.renderProfiles == b.renderProfiles &&
         a.animatedArtworks == b.animatedArtworks && a.exhibitions == b.exhibitions &&
         a.activeExhibition == b.activeExhibition && a.schemaVersion == b.schemaVersion;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto fast = decodeFast(text);
  auto tree = decodeTree(text);
  // The fast reader refuses some texts the tree takes (integers past 64 bits);
  // whatever it takes, the two must read alike.
  if (fast && (!tree || !sameState(*fast, LibraryState::decode(text)))) std::abort();
  if (!tree) return 0;
  LibraryState first = LibraryState::decode(text);
  LibraryState second = LibraryState::decode(*tree);
  if (!sameState(first, second)) std::abort();
  // Encoding is a function of the state: the second file equals the first.
  if (second.encode().size() != tree->size()) std::abort();
  return 0;
}
