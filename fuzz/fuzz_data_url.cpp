#include "core/media/DataURL.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto decoded = tavolune::DataURL::decode(text);
  if (decoded) {
    // Decoding never grows the payload: escapes and base64 both shrink it.
    if (decoded->data.size() > size) __builtin_trap();
    if (decoded->mime.empty()) __builtin_trap();
  }
  return 0;
}
