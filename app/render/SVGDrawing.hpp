#pragma once
// librsvg drawing of one SVG document into memory the caller provides, with
// no Qt: the image pipeline draws with it in its own process and the SVG
// decoder program in a process of its own. Thread-safe; blocks for as long
// as the document takes, which a hostile one makes unbounded.

#include <cstddef>
#include <functional>

namespace tavolune::svgdrawing {

// No single drawing may allocate more than this, whatever the document
// claims: the ceiling QImageReader applies by default.
inline constexpr double maxDecodedBytes = 256.0 * 1024 * 1024;
inline constexpr int maxSide = 32767;

// Memory for width x height premultiplied native-endian ARGB32 pixels of
// the given stride (width * 4), cleared to transparent, or null to give up.
using Canvas = std::function<unsigned char*(int width, int height, int stride)>;

enum class Drawing {
  drawn,
  failed,       // doesn't parse, has no positive size, is too large or fails to draw
  outOfMemory,  // an allocation failed while drawing: the document is too big, not broken
};

// The decoder program's exit status for a document that ran out of memory.
inline constexpr int outOfMemoryExitStatus = 3;

// Draws the document so that its longer side is maxPixel (small documents
// are enlarged too). Unless drawn, the canvas holds nothing of use.
Drawing drawing(const unsigned char* data, std::size_t size, int maxPixel, const Canvas& canvas);
inline bool draw(const unsigned char* data, std::size_t size, int maxPixel, const Canvas& canvas) {
  return drawing(data, size, maxPixel, canvas) == Drawing::drawn;
}

}  // namespace tavolune::svgdrawing
