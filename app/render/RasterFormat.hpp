#pragma once
// The raster formats still and animated images are decoded from, told by
// their signatures alone, and the one decoder of raster stills. Immutable;
// any thread. Decoding blocks; run it off the UI thread.

#include <QByteArray>
#include <QImage>

namespace tavolune::raster {

// No single decode may allocate more than this, whatever the file claims:
// the ceiling QImageReader applies by default.
inline constexpr double maxDecodedBytes = 256.0 * 1024 * 1024;

// The format name for the bytes ("png", "jpeg", "gif", "webp", "bmp" for
// Qt's readers, "avif" for libavif's), or empty when they are none of these.
// Readers are given this name and never guess: Qt's own SVG reader, which
// guessing can reach, loads the files a document names.
QByteArray formatOf(const QByteArray& data);

// Bytes of a format above to a still at most maxPixel on its longer side,
// never enlarged, upright as its orientation tag says; an animation gives
// its first frame. A file that declares more pixels than Qt's readers may
// allocate (QImageReader::allocationLimit, at most maxDecodedBytes), or an
// AVIF with a side beyond geometry::maxPixelSide, is refused before its
// pixels are decoded. Null for anything unreadable.
QImage decodeStill(const QByteArray& data, int maxPixel);

// In the one format a decoded still has: premultiplied ARGB32 with alpha,
// RGB32 without.
QImage normalized(QImage image);
// Scaled down smoothly to at most maxPixel on its longer side; never enlarged.
QImage boundedBy(QImage image, int maxPixel);

}  // namespace tavolune::raster
