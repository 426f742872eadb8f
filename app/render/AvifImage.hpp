#pragma once
// AVIF stills decoded with libavif into a plain pixel buffer. Needs no Qt,
// so the fuzz targets link it as the image pipeline does. Pure functions;
// any thread. Decoding blocks for as long as the AV1 decoder takes.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tavolune::avif {

// True when the bytes open with an ISO-BMFF "ftyp" box whose major or a
// compatible brand is "avif" (a still) or "avis" (a sequence).
bool isAVIF(std::string_view data);

// What one decode may take. A file whose container declares more is refused
// before any of its pixels are decoded, and so is one whose AV1 payload
// turns out larger than its container said.
struct Limits {
  std::uint32_t maxSide = 0;    // pixels on either side
  std::uint64_t maxPixels = 0;  // width times height
};

// One picture, premultiplied 8-bit: one native-endian 32-bit word 0xAARRGGBB
// per pixel, rows top to bottom with no padding. Opaque pictures have every
// alpha at 0xFF.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool hasAlpha = false;
  std::vector<std::uint32_t> pixels;
};

// The still, or the first frame of a sequence, in any bit depth; nothing for
// bytes that are no AVIF, are cut short or broken, or are beyond the limits.
// Shown as it was made: cut to its clean aperture, then turned, then mirrored,
// as the container says; a clean aperture that lies outside the picture is
// ignored, and the limits hold for the picture before it is cut.
std::optional<Picture> decodeFirstFrame(std::string_view data, const Limits& limits);

}  // namespace tavolune::avif
