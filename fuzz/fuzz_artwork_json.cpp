#include "core/model/Artwork.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tavolune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto parsed = json::Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return 0;
  Artwork artwork;
  try {
    artwork = Artwork::fromJson(parsed);
  } catch (const json::DecodeError&) {
    return 0;
  }
  // Whatever decodes must survive a round trip through the file form.
  auto again = Artwork::fromJson(json::Json::parse(artwork.toJson().dump()));
  if (!(again == artwork)) __builtin_trap();
  artwork.cartelDetails();
  artwork.isLive();
  return 0;
}
