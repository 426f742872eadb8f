#pragma once

#include "core/media/Bytes.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

// Gzip files (RFC 1952), as onchfs stores many of its files: the first
// member is inflated whole, in one buffer. Pure; callable from any thread.
namespace tavolune::Gzip {

// The most one file may inflate to. The size in a file's trailer is only a
// hint: a hostile file can claim anything there.
inline constexpr std::size_t maxOutputBytes = std::size_t{256} << 20;

// At least a header, a body and a trailer, starting with the gzip magic.
bool isGzipped(std::string_view data);

// Asked before the output buffer is made `wanted` bytes large: answers the
// size it may have instead, at most `wanted`. The buffer never passes it.
using Room = std::function<std::size_t(std::size_t wanted)>;

struct Inflated {
  std::optional<Bytes> bytes;  // nothing when the data did not inflate
  bool pastRoom = false;       // ... only because it needs more room
};

// The inflated contents of the first member, or nothing when the data is
// not gzip, its DEFLATE stream is damaged or cut short, or it inflates to
// more than the room. Neither the trailer's size nor its CRC is checked
// against the output.
Inflated inflate(std::string_view data, const Room& room);

// inflate() with room for at most maxOutput bytes.
std::optional<Bytes> gunzip(std::string_view data, std::size_t maxOutput = maxOutputBytes);

}  // namespace tavolune::Gzip
