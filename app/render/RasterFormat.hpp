#pragma once
// The raster formats still and animated images are decoded from, told by
// their signatures alone. Immutable; any thread.

#include <QByteArray>

namespace tavolune::raster {

// The Qt image format name for the bytes ("png", "jpeg", "gif", "webp",
// "bmp"), or empty when they are none of these. Readers are given this name
// and never guess: Qt's own SVG reader, which guessing can reach, loads the
// files a document names.
QByteArray formatOf(const QByteArray& data);

}  // namespace tavolune::raster
