#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tavolune {

// A file's bytes, held whole in memory.
using Bytes = std::vector<std::uint8_t>;

namespace hex {

// Bytes from hexadecimal text: an optional leading "0x", then pairs of
// digits of either case. Nothing for an odd count or a non-digit.
std::optional<Bytes> decode(std::string_view text);

// True for a non-empty run of hexadecimal digits and nothing else.
bool isDigits(std::string_view text);

}  // namespace hex

}  // namespace tavolune
