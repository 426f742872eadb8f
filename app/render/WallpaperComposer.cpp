#include "app/render/WallpaperComposer.hpp"

#include "app/render/FrameRenderer.hpp"
#include "app/render/Shadow.hpp"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

#include <algorithm>
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
  return encode(image, "jpeg", q);
}

}  // namespace tavolune::WallpaperComposer
