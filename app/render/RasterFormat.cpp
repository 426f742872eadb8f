#include "app/render/RasterFormat.hpp"

#include "app/render/AvifImage.hpp"
#include "app/render/Geometry.hpp"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <string_view>

namespace tavolune::raster {
namespace {

std::string_view view(const QByteArray& data) { return {data.constData(), std::size_t(data.size())}; }

// What Qt's readers may allocate for one image (0: no limit of its own),
// which AVIF is held to as well.
double allocationCeiling() {
  const int megabytes = QImageReader::allocationLimit();
  return megabytes > 0 ? std::min(maxDecodedBytes, megabytes * 1024.0 * 1024.0) : maxDecodedBytes;
}

QImage fromAVIF(const QByteArray& data, int maxPixel) {
  auto picture = avif::decodeFirstFrame(
      view(data), {.maxSide = geometry::maxPixelSide, .maxPixels = std::uint64_t(allocationCeiling() / 4)});
  if (!picture) return {};
  // The image takes the buffer over instead of copying it.
  auto* owned = new avif::Picture(std::move(*picture));
  const QImage image(
      reinterpret_cast<const uchar*>(owned->pixels.data()), int(owned->width), int(owned->height),
      qsizetype(owned->width) * 4, owned->hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32,
      [](void* p) { delete static_cast<avif::Picture*>(p); }, owned);
  return boundedBy(image, maxPixel);
}

}  // namespace

QImage normalized(QImage image) {
  if (image.isNull()) return image;
  const QImage::Format want = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  if (image.format() != want) image.convertTo(want);
  return image;
}

QImage boundedBy(QImage image, int maxPixel) {
  if (image.isNull()) return image;
  if (std::max(image.width(), image.height()) <= maxPixel) return image;
  return image.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QByteArray formatOf(const QByteArray& data) {
  const std::string_view head = view(data);
  if (head.starts_with("\x89PNG\r\n\x1a\n")) return "png";
  if (head.starts_with("\xff\xd8\xff")) return "jpeg";
  if (head.starts_with("GIF87a") || head.starts_with("GIF89a")) return "gif";
  if (head.size() >= 12 && head.starts_with("RIFF") && head.substr(8, 4) == "WEBP") return "webp";
  if (avif::isAVIF(head)) return "avif";
  if (head.starts_with("BM")) return "bmp";
  return {};
}

QImage decodeStill(const QByteArray& data, int maxPixel) {
  if (maxPixel <= 0 || data.isEmpty()) return {};
  const QByteArray format = formatOf(data);
  if (format == "avif") return fromAVIF(data, maxPixel);
  if (format.isEmpty()) return {};

  QByteArray bytes = data;  // shared, not copied
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(true);
  // Qt's allocation limit refuses a WebP canvas too large before decoding it.
  const QSize stored = reader.size();
  if (stored.isValid() && std::max(stored.width(), stored.height()) > maxPixel) {
    // Decoding straight to the smaller size: JPEG scales inside the decoder.
    reader.setScaledSize(stored.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  }
  QImage image = reader.read();
  if (image.isNull()) return {};
  return boundedBy(normalized(std::move(image)), maxPixel);
}

}  // namespace tavolune::raster
