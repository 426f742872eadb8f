#pragma once

#include "core/model/DisplayChoices.hpp"
#include "app/render/Geometry.hpp"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSizeF>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavolune {

// Turns one decoded artwork into a desktop picture at a screen's pixel size,
// plus the small image utilities shared around that job. Rectangles are y-up
// (see Rect); images are ordinary Qt images (row 0 is the top).
namespace WallpaperComposer {

// The fallback background everywhere: grey 0.08, opaque.
const QColor& defaultMatte();

// Where a work of width/height `aspect` goes in rect. A non-positive or
// non-finite aspect counts as 1; a non-finite rect gives an empty rect.
Rect artRect(double aspect, const Rect& rect, Framing framing);

// The whole picture: background (matte, else the image's edge colour), the
// work placed by framing, a soft shadow under a mat. Null for a null image
// or a pixel size that truncates to nothing or is not finite.
QImage compose(const QImage& image, QSizeF pixelSize, Framing framing, std::optional<QColor> matte);
// The picture with wall, frame and mat of style.
QImage composeFramed(const QImage& image, QSizeF pixelSize, FrameStyle style);

// Turned clockwise by quarterTurns (taken modulo 4, so -1 turns back once);
// zero turns hand back the same image.
QImage rotated(const QImage& image, int quarterTurns);

// The mean colour of the image's border at 24 x 24, darkened to 92 %.
QColor edgeColor(const QImage& image);

using Thumbprint = std::vector<std::uint8_t>;
inline constexpr int thumbprintSide = 24;
// A 24 x 24 grey downsample, top row first.
Thumbprint thumbprint(const QImage& image);
// Fewer than 1 % of the pixels stray more than 8 grey levels from the median.
bool looksEmpty(const Thumbprint& print);
// Mean absolute difference scaled to 0..1; 1 for unlike lengths or an empty first print.
double difference(const Thumbprint& a, const Thumbprint& b);

std::optional<QByteArray> pngData(const QImage& image);
// quality from 0 to 1; out-of-range values are clamped, a non-finite one is refused.
std::optional<QByteArray> jpegData(const QImage& image, double quality);

}  // namespace WallpaperComposer
}  // namespace tavolune
