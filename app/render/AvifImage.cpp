#include "app/render/AvifImage.hpp"

#include <avif/avif.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <new>
#include <vector>

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

// Where each shown pixel lies among the decoded ones: the index of the first
// and the steps to the next one right and the next one down.
struct Placement {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int64_t origin = 0;
  std::int64_t stepX = 0;
  std::int64_t stepY = 0;
};

// The clean aperture as a rectangle inside the decoded picture, or the whole
// picture when there is none or it makes no sense. It is cut from RGB pixels,
// so chroma subsampling asks nothing of its evenness: hence 4:4:4.
avifCropRect cleanAperture(const avifImage& image) {
  const avifCropRect whole{0, 0, image.width, image.height};
  if (!(image.transformFlags & AVIF_TRANSFORM_CLAP)) return whole;
  avifCropRect rect{};
  avifDiagnostics diagnostics{};
  if (!avifCropRectConvertCleanApertureBox(&rect, &image.clap, image.width, image.height, AVIF_PIXEL_FORMAT_YUV444,
                                           &diagnostics)) {
    return whole;
  }
  // Checked here too, as it decides which pixels are read.
  if (rect.width == 0 || rect.height == 0 || rect.width > image.width || rect.height > image.height ||
      rect.x > image.width - rect.width || rect.y > image.height - rect.height) {
    return whole;
  }
  return rect;
}

// The container's transformations in the order HEIF applies them: the clean
// aperture, then quarter turns anti-clockwise, then the mirror.
Placement placement(const avifImage& image) {
  const avifCropRect cut = cleanAperture(image);
  const unsigned turns = (image.transformFlags & AVIF_TRANSFORM_IROT) ? image.irot.angle % 4 : 0;
  const bool mirrored = image.transformFlags & AVIF_TRANSFORM_IMIR;
  // Mode 0 exchanges top and bottom, mode 1 left and right.
  const bool flipRows = mirrored && image.imir.mode == 0;
  const bool flipColumns = mirrored && image.imir.mode == 1;
  Placement place;
  place.width = turns % 2 ? cut.height : cut.width;
  place.height = turns % 2 ? cut.width : cut.height;
  const std::int64_t w = cut.width, h = cut.height;
  // From a shown pixel back to the decoded one: undo the mirror, then the turn.
  const auto source = [&](std::int64_t x, std::int64_t y) {
    if (flipRows) y = std::int64_t(place.height) - 1 - y;
    if (flipColumns) x = std::int64_t(place.width) - 1 - x;
    const auto at = [&](std::int64_t cx, std::int64_t cy) {
      return (cut.y + cy) * std::int64_t(image.width) + cut.x + cx;
    };
    switch (turns) {
      case 1: return at(w - 1 - y, x);
      case 2: return at(w - 1 - x, h - 1 - y);
      case 3: return at(y, h - 1 - x);
      default: return at(x, y);
    }
  };
  place.origin = source(0, 0);
  place.stepX = source(1, 0) - place.origin;
  place.stepY = source(0, 1) - place.origin;
  return place;
}

std::optional<Picture> shown(const avifImage& image, std::vector<std::uint32_t> decoded) {
  const Placement place = placement(image);
  Picture picture{.width = place.width, .height = place.height, .hasAlpha = image.alphaPlane != nullptr, .pixels = {}};
  if (place.width == image.width && place.height == image.height && place.origin == 0 && place.stepX == 1 &&
      place.stepY == place.width) {
    picture.pixels = std::move(decoded);
    return picture;
  }
  try {
    picture.pixels.resize(std::size_t(place.width) * place.height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  auto out = picture.pixels.begin();
  for (std::uint32_t y = 0; y < place.height; ++y) {
    std::int64_t at = place.origin + y * place.stepY;
    for (std::uint32_t x = 0; x < place.width; ++x, at += place.stepX) *out++ = decoded[std::size_t(at)];
  }
  return picture;
}

// libavif converts from no constant-luminance matrix. The non-constant one
// of the same primaries comes close, as other viewers show these files,
// where refusing would show nothing at all.
void useConvertibleMatrix(avifImage& image) {
  if (image.matrixCoefficients == AVIF_MATRIX_COEFFICIENTS_BT2020_CL) {
    image.matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT2020_NCL;
  } else if (image.matrixCoefficients == AVIF_MATRIX_COEFFICIENTS_CHROMA_DERIVED_CL) {
    image.matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_CHROMA_DERIVED_NCL;
  }
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
  avifImage* image = decoder->image;
  if (!fits(image->width, image->height, limits)) return std::nullopt;
  useConvertibleMatrix(*image);

  std::vector<std::uint32_t> pixels;
  try {
    pixels.resize(std::size_t(image->width) * image->height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.depth = 8;
  // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
  rgb.format = std::endian::native == std::endian::little ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
  rgb.alphaPremultiplied = AVIF_TRUE;
  rgb.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
  rgb.rowBytes = image->width * 4;
  if (avifImageYUVToRGB(image, &rgb) != AVIF_RESULT_OK) return std::nullopt;
  return shown(*image, std::move(pixels));
}

}  // namespace tavolune::avif
