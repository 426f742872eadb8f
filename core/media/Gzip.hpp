#pragma once

#include "core/media/Bytes.hpp"

#include <cstddef>
#include <optional>
#include <string_view>

// Single-member gzip files (RFC 1952), as onchfs stores many of its files.
namespace tavolune::Gzip {

// The most one file may inflate to. The size in a file's trailer is only a
// hint: a hostile file can claim anything there.
inline constexpr std::size_t maxOutputBytes = std::size_t{256} << 20;

// At least a header, a body and a trailer, starting with the gzip magic.
bool isGzipped(std::string_view data);

// The inflated contents, or nothing when the data is not gzip, its DEFLATE
// stream is damaged or cut short, or it inflates to more than maxOutput.
// Neither the trailer's size nor its CRC is checked against the output.
std::optional<Bytes> gunzip(std::string_view data, std::size_t maxOutput = maxOutputBytes);

}  // namespace tavolune::Gzip
