#include "core/media/Gzip.hpp"

#include <algorithm>
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

  // Room granted short of what is asked, as a page's budget does: the
  // output never passes it, and running out of it is no success.
  std::size_t granted = 0;
  auto limited = tavolune::Gzip::inflate(input, [&](std::size_t wanted) {
    granted = std::min(wanted, cap / 3);
    return granted;
  });
  if (limited.bytes && limited.bytes->size() > granted) __builtin_trap();
  if (limited.bytes && limited.pastRoom) __builtin_trap();
  if (limited.bytes && out != limited.bytes) __builtin_trap();
  return 0;
}
