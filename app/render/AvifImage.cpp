#include "app/render/AvifImage.hpp"

#include <avif/avif.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <new>

namespace tavolune::avif {
namespace {

struct DecoderDeleter {
  void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};

std::uint32_t bigEndian32(std::string_view s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(s[at + i]);
  return v;
}

bool isBrand(std::string_view brand) { return brand == "avif" || brand == "avis"; }

bool fits(std::uint32_t width, std::uint32_t height, const Limits& limits) {
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         std::uint64_t(width) * height <= limits.maxPixels;
}

}  // namespace

bool isAVIF(std::string_view data) {
  if (data.size() < 16 || data.substr(4, 4) != "ftyp") return false;
  // Size, "ftyp", major brand, minor version, then compatible brands. A
  // size of 0 (to the end) or 1 (64 bits follow) is no ftyp an encoder writes.
  const std::uint32_t size = bigEndian32(data, 0);
  if (size < 16 || (size - 16) % 4 != 0) return false;
  if (isBrand(data.substr(8, 4))) return true;
  const std::size_t end = std::min<std::size_t>(size, data.size());
  for (std::size_t at = 16; at + 4 <= end; at += 4) {
    if (isBrand(data.substr(at, 4))) return true;
  }
  return false;
}

std::optional<Picture> decodeFirstFrame(std::string_view data, const Limits& limits) {
  if (!isAVIF(data) || limits.maxSide == 0 || limits.maxPixels == 0) return std::nullopt;
  std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
  if (!decoder) return std::nullopt;
  // One thread per decode: the callers run many at once on their own pool.
  decoder->maxThreads = 1;
  // The AV1 decoder is told the same ceiling, so that a payload larger than
  // its container claims stops there too.
  decoder->imageSizeLimit = std::uint32_t(std::min<std::uint64_t>(limits.maxPixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
  decoder->imageDimensionLimit = limits.maxSide;
  // Files that bend the format's rules a little still show, as in browsers.
  decoder->strictFlags = AVIF_STRICT_DISABLED;
  decoder->ignoreExif = AVIF_TRUE;
  decoder->ignoreXMP = AVIF_TRUE;
  // The bytes are not copied: they outlive the decoder here.
  if (avifDecoderSetIOMemory(decoder.get(), reinterpret_cast<const std::uint8_t*>(data.data()), data.size()) !=
      AVIF_RESULT_OK) {
    return std::nullopt;
  }
  if (avifDecoderParse(decoder.get()) != AVIF_RESULT_OK) return std::nullopt;
  // The container's declared size, before any AV1 data is decoded.
  if (!fits(decoder->image->width, decoder->image->height, limits)) return std::nullopt;
  if (avifDecoderNextImage(decoder.get()) != AVIF_RESULT_OK) return std::nullopt;
  const avifImage* image = decoder->image;
  if (!fits(image->width, image->height, limits)) return std::nullopt;

  Picture picture;
  picture.width = image->width;
  picture.height = image->height;
  picture.hasAlpha = image->alphaPlane != nullptr;
  try {
    picture.pixels.resize(std::size_t(picture.width) * picture.height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.depth = 8;
  // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
  rgb.format = std::endian::native == std::endian::little ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
  rgb.alphaPremultiplied = AVIF_TRUE;
  rgb.pixels = reinterpret_cast<std::uint8_t*>(picture.pixels.data());
  rgb.rowBytes = picture.width * 4;
  if (avifImageYUVToRGB(image, &rgb) != AVIF_RESULT_OK) return std::nullopt;
  return picture;
}

}  // namespace tavolune::avif
