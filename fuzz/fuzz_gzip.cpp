#include "media/Gzip.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small cap keeps each run fast while still exercising the cap path.
  constexpr std::size_t cap = 1 << 20;
  auto out = tavolune::Gzip::gunzip(std::span(data, size), cap);
  if (out && out->size() > cap) __builtin_trap();
  if (out && !tavolune::Gzip::isGzipped(std::span(data, size))) __builtin_trap();
  return 0;
}
