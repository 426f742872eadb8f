#include "app/render/WallpaperComposer.hpp"

#include "app/render/FrameRenderer.hpp"
#include "app/render/Shadow.hpp"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

namespace tavolune::WallpaperComposer {
namespace {

Rect canvasRect(QSize size) { return {0, 0, double(size.width()), double(size.height())}; }

std::optional<QByteArray> encode(const QImage& image, const char* format, int quality) {
  if (image.isNull()) return std::nullopt;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) return std::nullopt;
  return bytes;
}

// --- JPEG in bands ---
//
// A screen-sized picture takes one core most of a tenth of a second to
// encode. Bands of whole MCU rows are encoded at once, each as a JPEG of its
// own, and spliced into one: every band is a restart interval, so the
// entropy-coded data of each stands alone, and the result decodes to exactly
// the pixels the picture encoded in one go would.

constexpr int bandAlignment = 16;  // the tallest MCU: 2 x 2 chroma subsampling
constexpr qsizetype minBandPixels = qsizetype(1) << 20;

struct JpegParts {
  QByteArray header;  // from SOI up to the SOS marker
  QByteArray scan;    // the SOS segment and its entropy-coded data, up to EOI
  qsizetype heightAt = -1;  // of the frame's height within header
  int mcuWidth = 0, mcuHeight = 0;
};

std::optional<JpegParts> split(const QByteArray& jpeg) {
  const auto* b = reinterpret_cast<const unsigned char*>(jpeg.constData());
  const qsizetype n = jpeg.size();
  if (n < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[n - 2] != 0xFF || b[n - 1] != 0xD9) return std::nullopt;
  JpegParts parts;
  for (qsizetype at = 2; at + 4 <= n;) {
    if (b[at] != 0xFF) return std::nullopt;
    const unsigned char marker = b[at + 1];
    const qsizetype length = (qsizetype(b[at + 2]) << 8) | b[at + 3];
    if (length < 2 || at + 2 + length > n) return std::nullopt;
    if (marker == 0xDA) {
      if (parts.heightAt < 0) return std::nullopt;
      parts.header = jpeg.left(at);
      parts.scan = jpeg.mid(at, n - 2 - at);
      return parts;
    }
    if (marker == 0xDD) return std::nullopt;  // restart intervals of its own
    if (marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      return std::nullopt;  // only baseline frames splice
    }
    if (marker == 0xC0) {
      if (length < 8) return std::nullopt;
      const int components = b[at + 9];
      if (length != 8 + 3 * components) return std::nullopt;
      int h = 1, v = 1;
      for (int i = 0; i < components; ++i) {
        h = std::max(h, b[at + 11 + 3 * i] >> 4);
        v = std::max(v, b[at + 11 + 3 * i] & 15);
      }
      parts.heightAt = at + 5;
      parts.mcuWidth = 8 * h;
      parts.mcuHeight = 8 * v;
    }
    at += 2 + length;
  }
  return std::nullopt;
}

// The bands' JPEGs as one; none when they do not fit together.
std::optional<QByteArray> splice(const std::vector<std::optional<QByteArray>>& bands, QSize size, int bandRows) {
  std::vector<JpegParts> parts;
  for (const auto& band : bands) {
    auto p = band ? split(*band) : std::nullopt;
    if (!p) return std::nullopt;
    parts.push_back(std::move(*p));
  }
  const JpegParts& first = parts.front();
  const qsizetype mcusPerInterval =
      qsizetype(bandRows / first.mcuHeight) * ((size.width() + first.mcuWidth - 1) / first.mcuWidth);
  if (bandRows % first.mcuHeight != 0 || mcusPerInterval > 0xFFFF) return std::nullopt;
  // Every band's tables and frame must be the first's, but for its height.
  auto withoutHeight = [](const JpegParts& p) {
    QByteArray h = p.header;
    h[p.heightAt] = h[p.heightAt + 1] = 0;
    return h;
  };
  const QByteArray common = withoutHeight(first);
  for (const auto& p : parts) {
    if (p.heightAt != first.heightAt || withoutHeight(p) != common) return std::nullopt;
  }
  QByteArray out = first.header;
  out[first.heightAt] = char(size.height() >> 8);
  out[first.heightAt + 1] = char(size.height() & 0xFF);
  const char restart[] = {char(0xFF), char(0xDD), 0, 4, char(mcusPerInterval >> 8), char(mcusPerInterval & 0xFF)};
  out.append(restart, sizeof restart);
  qsizetype total = out.size() + 2;
  for (const auto& p : parts) total += p.scan.size() + 2;
  out.reserve(total);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i == 0) {
      out.append(parts[i].scan);
    } else {
      // Later bands bring only their entropy-coded data, after their SOS.
      const auto* b = reinterpret_cast<const unsigned char*>(parts[i].scan.constData());
      const qsizetype sos = 2 + ((qsizetype(b[2]) << 8) | b[3]);
      if (parts[i].scan.left(sos) != first.scan.left(sos)) return std::nullopt;
      out.append(char(0xFF));
      out.append(char(0xD0 + (i - 1) % 8));
      out.append(parts[i].scan.mid(sos));
    }
  }
  out.append(char(0xFF));
  out.append(char(0xD9));
  return out;
}

std::optional<QByteArray> jpegInBands(const QImage& image, int quality) {
  const int threads = std::min(8, QThread::idealThreadCount());
  // Texts go into markers of their own: such a picture is encoded whole.
  if (threads < 2 || qsizetype(image.width()) * image.height() < 2 * minBandPixels || !image.textKeys().isEmpty()) {
    return encode(image, "jpeg", quality);
  }
  const int bandCount = int(std::min<qsizetype>(threads, qsizetype(image.width()) * image.height() / minBandPixels));
  const int bandRows = (image.height() + bandCount - 1) / bandCount;
  const int rows = (bandRows + bandAlignment - 1) / bandAlignment * bandAlignment;
  const int bands = (image.height() + rows - 1) / rows;
  if (bands < 2) return encode(image, "jpeg", quality);

  // The pool's free threads help; whatever they do not take, this one does.
  std::vector<std::optional<QByteArray>> encoded(static_cast<std::size_t>(bands));
  std::atomic<int> next{0};
  auto work = [&] {
    for (int i; (i = next++) < bands;) {
      const int top = i * rows;
      const int height = std::min(rows, image.height() - top);
      // The band's rows where they lie: no copy.
      QImage band(image.constScanLine(top), image.width(), height, image.bytesPerLine(), image.format());
      band.setColorSpace(image.colorSpace());
      band.setDotsPerMeterX(image.dotsPerMeterX());
      band.setDotsPerMeterY(image.dotsPerMeterY());
      encoded[std::size_t(i)] = encode(band, "jpeg", quality);
    }
  };
  QSemaphore finished;
  int helpers = 0;
  for (int i = 1; i < bands; ++i) {
    if (!QThreadPool::globalInstance()->tryStart([&] {
          work();
          finished.release();
        })) {
      break;
    }
    ++helpers;
  }
  work();
  finished.acquire(helpers);
  if (auto spliced = splice(encoded, image.size(), rows)) return spliced;
  return encode(image, "jpeg", quality);
}

}  // namespace

const QColor& defaultMatte() {
  static const QColor matte = QColor::fromRgbF(0.08f, 0.08f, 0.08f, 1.0f);
  return matte;
}

Rect artRect(double aspect, const Rect& rectIn, Framing framing) {
  if (!rectIn.isFinite()) return {};
  const double a = geometry::isPositive(aspect) ? aspect : 1.0;
  const Rect R = rectIn.standardized();
  if (framing == Framing::fill) {
    const double w = R.width <= R.height * a ? R.height * a : R.width;
    const double h = w / a;
    return {R.midX() - w / 2, R.midY() - h / 2, w, h};
  }
  Rect fitIn = R;
  if (framing == Framing::passePartout) {
    const double inset = 0.11 * std::min(R.width, R.height);
    fitIn = R.insetBy(inset, inset);
  }
  double w = fitIn.width;
  double h = w / a;
  if (h > fitIn.height) {
    h = fitIn.height;
    w = a * h;
  }
  return Rect{fitIn.midX() - w / 2, fitIn.midY() - h / 2, w, h}.integral();
}

QImage compose(const QImage& image, QSizeF pixelSize, Framing framing, std::optional<QColor> matte) {
  if (image.isNull()) return {};
  const auto size = geometry::truncatedPixelSize(pixelSize);
  if (!size) return {};
  const QColor background = matte && matte->isValid() ? *matte : edgeColor(image);
  // An opaque matte is the canvas's first fill; a translucent one is painted
  // over the cleared canvas.
  const bool opaque = background.alpha() == 255;
  QImage canvas = geometry::newCanvas(*size, opaque ? background : QColor(Qt::transparent));
  if (canvas.isNull()) return {};
  const int H = size->height();

  QPainter p(&canvas);
  if (!opaque) p.fillRect(canvas.rect(), background);
  const Rect r = artRect(double(image.width()) / image.height(), canvasRect(*size), framing);
  if (framing == Framing::passePartout) {
    p.save();
    geometry::yUp(p, H);
    p.setRenderHint(QPainter::Antialiasing, true);
    Shadow::drawRectShadow(p, r, 0, -double(H / 400), double(H) / 90, 0.28);
    p.fillRect(r.logical(), background);
    p.restore();
  }
  geometry::drawImageHighQuality(p, r.toQt(H), image);
  p.end();
  return canvas;
}

QImage composeFramed(const QImage& image, QSizeF pixelSize, FrameStyle style) {
  if (image.isNull()) return {};
  const auto size = geometry::truncatedPixelSize(pixelSize);
  if (!size) return {};
  QImage canvas = geometry::newCanvas(*size);
  if (canvas.isNull()) return {};
  const Rect bounds = canvasRect(*size);
  const double ratio = double(image.width()) / std::max(image.height(), 1);
  const FrameRenderer::Layout layout = FrameRenderer::layout(style, ratio, bounds);

  QPainter p(&canvas);
  p.save();
  geometry::yUp(p, bounds.height);
  FrameRenderer::drawSurround(style, layout, bounds, p);
  p.restore();
  geometry::drawImageHighQuality(p, layout.art.toQt(bounds.height), image);
  p.end();
  return canvas;
}

QImage rotated(const QImage& image, int quarterTurns) {
  const int t = quarterTurns & 3;
  if (t == 0 || image.isNull()) return image;
  // A positive angle turns clockwise on a y-down canvas; quarter turns are
  // exact pixel moves, no resampling.
  QImage turned = image.transformed(QTransform().rotate(90.0 * t));
  return turned;
}

QColor edgeColor(const QImage& image) {
  constexpr int side = 24;
  QImage small(side, side, QImage::Format_ARGB32_Premultiplied);
  if (small.isNull()) return QColor::fromRgbF(0.1f, 0.1f, 0.1f, 1.0f);
  small.fill(Qt::transparent);
  if (!image.isNull()) {
    QPainter p(&small);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QRect(0, 0, side, side),
                image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
  std::uint64_t red = 0, green = 0, blue = 0;
  auto add = [&](int x, int y) {
    const QRgb px = reinterpret_cast<const QRgb*>(small.constScanLine(y))[x];
    red += qRed(px);
    green += qGreen(px);
    blue += qBlue(px);
  };
  for (int x = 0; x < side; ++x) {
    add(x, 0);
    add(x, side - 1);
  }
  for (int y = 1; y < side - 1; ++y) {
    add(0, y);
    add(side - 1, y);
  }
  const double k = 0.92 / (92.0 * 255.0);
  return QColor::fromRgbF(float(std::min(1.0, red * k)), float(std::min(1.0, green * k)),
                          float(std::min(1.0, blue * k)), 1.0f);
}

Thumbprint thumbprint(const QImage& image) {
  Thumbprint print(thumbprintSide * thumbprintSide, 0);
  if (image.isNull()) return print;
  const QImage small = image.scaled(thumbprintSide, thumbprintSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (small.isNull()) return print;
  for (int y = 0; y < thumbprintSide; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(small.constScanLine(y));
    for (int x = 0; x < thumbprintSide; ++x) {
      // Premultiplied values: what the grey would be drawn over black.
      print[std::size_t(y * thumbprintSide + x)] = static_cast<std::uint8_t>(qGray(row[x]));
    }
  }
  return print;
}

bool looksEmpty(const Thumbprint& print) {
  if (print.empty()) return true;
  Thumbprint sorted = print;
  std::sort(sorted.begin(), sorted.end());
  const int m = sorted[sorted.size() / 2];
  const auto strays = std::count_if(print.begin(), print.end(), [m](std::uint8_t v) { return std::abs(int(v) - m) > 8; });
  return std::size_t(strays) * 100 < print.size();
}

double difference(const Thumbprint& a, const Thumbprint& b) {
  if (a.empty() || a.size() != b.size()) return 1.0;
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::uint64_t(std::abs(int(a[i]) - int(b[i])));
  return double(sum) / (double(a.size()) * 255.0);
}

std::optional<QByteArray> pngData(const QImage& image) { return encode(image, "png", -1); }

std::optional<QByteArray> jpegData(const QImage& image, double quality) {
  if (!std::isfinite(quality)) return std::nullopt;
  const int q = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
  if (image.isNull()) return std::nullopt;
  return jpegInBands(image, q);
}

}  // namespace tavolune::WallpaperComposer
