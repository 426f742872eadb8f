#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavolune {

// A file's bytes, held whole in memory; a string because HTTP bodies arrive
// as one, so nothing is copied on the way to the cache.
using Bytes = std::string;

namespace hex {

// Bytes from hexadecimal text: an optional leading "0x", then pairs of
// digits of either case. Nothing for an odd count or a non-digit.
std::optional<Bytes> decode(std::string_view text);

// True for a non-empty run of hexadecimal digits and nothing else.
bool isDigits(std::string_view text);

}  // namespace hex

}  // namespace tavolune
