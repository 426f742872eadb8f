#include "app/render/AvifImage.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small limits keep each run fast while still exercising the refusal path.
  constexpr tavolune::avif::Limits limits{.maxSide = 512, .maxPixels = 512 * 256};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto picture = tavolune::avif::decodeFirstFrame(input, limits);
  if (!picture) return 0;
  if (!tavolune::avif::isAVIF(input)) __builtin_trap();
  if (picture->width == 0 || picture->height == 0 || picture->width > limits.maxSide ||
      picture->height > limits.maxSide || std::uint64_t(picture->width) * picture->height > limits.maxPixels) {
    __builtin_trap();
  }
  if (picture->pixels.size() != std::size_t(picture->width) * picture->height) __builtin_trap();
  // Premultiplied: no channel above its alpha, and every alpha opaque without an alpha plane.
  for (const std::uint32_t p : picture->pixels) {
    const std::uint32_t a = p >> 24;
    if (((p >> 16) & 0xff) > a || ((p >> 8) & 0xff) > a || (p & 0xff) > a) __builtin_trap();
    if (!picture->hasAlpha && a != 0xff) __builtin_trap();
  }
  return 0;
}
