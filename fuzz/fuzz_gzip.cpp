#include "core/media/Gzip.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small cap keeps each run fast while still exercising the cap path.
  constexpr std::size_t cap = 1 << 20;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto out = tavolune::Gzip::gunzip(input, cap);
  if (out && out->size() > cap) __builtin_trap();
  if (out && !tavolune::Gzip::isGzipped(input)) __builtin_trap();
  return 0;
}
