#include "core/model/MediaResolver.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace tavolune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string uri(reinterpret_cast<const char*>(data), size);
  auto ref = MediaResolver::parse(uri);
  auto candidates = MediaResolver::httpCandidates(uri, IPFSGateways::defaults());
  auto live = MediaResolver::liveURL(uri);
  if (!ref && (!candidates.empty() || live)) __builtin_trap();
  // What a candidate writes must read back as the same address.
  for (const auto& c : candidates) {
    auto again = Url::parse(c.string());
    if (!again || again->string() != c.string()) __builtin_trap();
  }
  MediaResolver::mimeType(uri);
  return 0;
}
