#include "core/model/Artwork.hpp"
#include "core/base/FastJson.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tavolune;

// The fast reader and the tree must agree on every artwork they both parse.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto doc = json::FastDocument::parse(text);
  if (!doc) return 0;
  auto tree = json::Json::parse(text, nullptr, false);
  if (tree.is_discarded()) __builtin_trap();  // the fast reader took what the tree refuses
  std::optional<Artwork> viaTree, viaFast;
  try {
    viaTree = Artwork::fromJson(tree);
  } catch (const json::DecodeError&) {
  }
  try {
    viaFast = Artwork::fromJson(doc->root());
  } catch (const json::DecodeError&) {
  }
  if (viaTree.has_value() != viaFast.has_value()) __builtin_trap();
  if (viaTree && !(*viaTree == *viaFast)) __builtin_trap();
  return 0;
}
