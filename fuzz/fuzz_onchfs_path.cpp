#include "core/media/OnchfsPath.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const auto& name : tavolune::onchfs::pathNames(text)) {
    if (name.empty()) __builtin_trap();
    total += name.size();
  }
  if (total > size) __builtin_trap();
  if (tavolune::onchfs::isValidHash(text) && (text.empty() || text.find('/') != std::string_view::npos))
    __builtin_trap();
  return 0;
}
