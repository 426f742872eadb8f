#include "app/render/Shadow.hpp"

#include <algorithm>
#include <cmath>
#include <list>
#include <mutex>
#include <tuple>
#include <vector>

namespace tavolune::Shadow {
namespace {

// Sigma of the mask after shrinking: enough for a smooth ramp, small enough
// that the blur costs little whatever the shadow's size on screen.
constexpr double maskSigma = 4.0;
constexpr std::size_t maskCacheLimit = 24;

struct MaskKey {
  int width, height, pad, radius, corner;
  friend bool operator==(const MaskKey&, const MaskKey&) = default;
};

std::mutex cacheMutex;
std::list<std::pair<MaskKey, QImage>> cache;  // most recent first

// Blurs n samples read every `stride` bytes into the contiguous `out`.
void blurLine(const std::uint8_t* in, std::ptrdiff_t stride, std::uint8_t* out, int n, int r) {
  // Running sum over a window of 2r+1 with zeros beyond the ends.
  const int window = 2 * r + 1;
  int sum = 0;
  for (int i = 0; i <= std::min(r, n - 1); ++i) sum += in[i * stride];
  for (int i = 0; i < n; ++i) {
    out[i] = static_cast<std::uint8_t>((sum + window / 2) / window);
    const int add = i + r + 1;
    const int drop = i - r;
    if (add < n) sum += in[add * stride];
    if (drop >= 0) sum -= in[drop * stride];
  }
}

}  // namespace

void boxBlur(QImage& mask, int radius) {
  if (radius <= 0 || mask.isNull() || mask.format() != QImage::Format_Alpha8) return;
  const int w = mask.width();
  const int h = mask.height();
  const std::ptrdiff_t bpl = mask.bytesPerLine();
  std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max(w, h)));
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y) {
      std::uint8_t* row = mask.scanLine(y);
      blurLine(row, 1, line.data(), w, radius);
      std::copy_n(line.data(), w, row);
    }
    std::uint8_t* base = mask.bits();
    for (int x = 0; x < w; ++x) {
      blurLine(base + x, bpl, line.data(), h, radius);
      for (int y = 0; y < h; ++y) base[y * bpl + x] = line[static_cast<std::size_t>(y)];
    }
  }
}

QImage rectangleMask(int width, int height, int pad, int radius, int corner) {
  const MaskKey key{width, height, pad, radius, corner};
  {
    std::lock_guard lock(cacheMutex);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
      if (it->first == key) {
        cache.splice(cache.begin(), cache, it);
        return it->second;
      }
    }
  }
  QImage mask(width + 2 * pad, height + 2 * pad, QImage::Format_Alpha8);
  if (mask.isNull()) return {};
  mask.fill(0);
  if (corner > 0) {
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(pad, pad, width, height), corner, corner);
  } else {
    for (int y = pad; y < pad + height; ++y) std::fill_n(mask.scanLine(y) + pad, width, std::uint8_t{255});
  }
  boxBlur(mask, radius);

  std::lock_guard lock(cacheMutex);
  cache.emplace_front(key, mask);
  if (cache.size() > maskCacheLimit) cache.pop_back();
  return mask;
}

namespace {

// A blur of `sigma` device pixels as a mask shrunk by `shrink`, blurred by
// `radius` and padded by `pad` (the blur's reach) in mask pixels.
struct MaskScale {
  double shrink;
  int radius, pad;
};

MaskScale maskScale(double sigma) {
  // Shrink so that the mask's sigma is about maskSigma pixels.
  const double shrink = std::max(1.0, sigma / maskSigma);
  const double s = sigma / shrink;
  return {shrink, std::max(1, static_cast<int>(std::lround((-1 + std::sqrt(1 + 4 * s * s)) / 2))),
          static_cast<int>(std::ceil(3 * s)) + 1};
}

// Draws the blurred mask of `device` (device pixels, rounded by `corner`
// device pixels) moved by `offset`, with the painter reset to device pixels.
void drawMask(QPainter& painter, const QRectF& device, double corner, QPointF offset, double sigma) {
  if (sigma < 0.5 && corner <= 0) {
    painter.fillRect(device.translated(offset), Qt::black);
    return;
  }
  if (sigma < 0.5) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(device.translated(offset), corner, corner);
    return;
  }
  const auto [shrink, radius, pad] = maskScale(sigma);
  const int mw = std::max(1, static_cast<int>(std::lround(device.width() / shrink)));
  const int mh = std::max(1, static_cast<int>(std::lround(device.height() / shrink)));
  if (mw > geometry::maxPixelSide || mh > geometry::maxPixelSide) return;
  const int c = std::min(static_cast<int>(std::lround(corner / shrink)), std::min(mw, mh) / 2);
  const QImage mask = rectangleMask(mw, mh, pad, radius, c);
  if (mask.isNull()) return;
  const double sx = device.width() / mw;
  const double sy = device.height() / mh;
  const QRectF target(device.x() + offset.x() - pad * sx, device.y() + offset.y() - pad * sy, (mw + 2 * pad) * sx,
                      (mh + 2 * pad) * sy);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(target, mask);
}

}  // namespace

void drawRectShadow(QPainter& painter, const Rect& shape, double dx, double dy, double blur, double alpha) {
  if (!shape.isFinite() || !std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(blur) || !std::isfinite(alpha) ||
      alpha <= 0)
    return;
  const QTransform t = painter.transform();
  const QRectF device = t.mapRect(shape.standardized().logical());
  if (device.width() <= 0 || device.height() <= 0) return;
  const QPointF offset = t.map(QPointF(dx, dy)) - t.map(QPointF(0, 0));
  const double scale = std::sqrt(std::abs(t.determinant()));
  // Core Graphics' blur parameter is about twice the Gaussian's sigma.
  const double sigma = std::max(0.0, blur) * scale / 2;
  painter.save();
  painter.resetTransform();
  painter.setOpacity(painter.opacity() * std::min(alpha, 1.0));
  drawMask(painter, device, 0, offset, sigma);
  painter.restore();
}

void drawCapsuleShadow(QPainter& painter, const QRectF& shape, QPointF offset, double sigma, double alpha) {
  if (!std::isfinite(shape.x()) || !std::isfinite(shape.y()) || !std::isfinite(shape.width()) ||
      !std::isfinite(shape.height()) || !std::isfinite(offset.x()) || !std::isfinite(offset.y()) ||
      !std::isfinite(sigma) || !std::isfinite(alpha) || alpha <= 0)
    return;
  const QTransform t = painter.transform();
  const QRectF device = t.mapRect(shape.normalized());
  if (device.width() <= 0 || device.height() <= 0) return;
  const double scale = std::sqrt(std::abs(t.determinant()));
  const QPointF moved = t.map(offset) - t.map(QPointF(0, 0));
  const double deviceSigma = std::max(0.0, sigma) * scale;
  painter.save();
  painter.resetTransform();
  painter.setOpacity(painter.opacity() * std::min(alpha, 1.0));
  // A capsule's shadow is its two ends and, between them, one column of
  // the blurred mask stretched: the mask depends on the height only, so a
  // bar whose text changes its width blurs nothing new.
  const auto [shrink, radius, pad] = maskScale(deviceSigma);
  const int mh = std::max(1, static_cast<int>(std::lround(device.height() / shrink)));
  const int shortest = mh + 2 * pad + 2;  // ends far enough apart that the middle is flat
  const double unit = device.height() / mh;
  if (deviceSigma < 0.5 || device.width() / unit < shortest || mh > geometry::maxPixelSide) {
    drawMask(painter, device, std::min(device.width(), device.height()) / 2, moved, deviceSigma);
    painter.restore();
    return;
  }
  const QImage mask = rectangleMask(shortest, mh, pad, radius, mh / 2);
  if (!mask.isNull()) {
    const int whole = mask.width();
    const int middle = whole / 2;
    const double top = device.y() + moved.y() - pad * unit;
    const double height = mask.height() * unit;
    const double left = device.x() + moved.x() - pad * unit;
    const double right = device.right() + moved.x() + pad * unit;
    const double rightPart = (whole - middle - 1) * unit;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(left, top, middle * unit, height), mask, QRectF(0, 0, middle, mask.height()));
    painter.drawImage(QRectF(left + middle * unit, top, right - rightPart - (left + middle * unit), height), mask,
                      QRectF(middle, 0, 1, mask.height()));
    painter.drawImage(QRectF(right - rightPart, top, rightPart, height), mask,
                      QRectF(middle + 1, 0, whole - middle - 1, mask.height()));
  }
  painter.restore();
}

std::size_t cachedMaskCount() {
  std::lock_guard lock(cacheMutex);
  return cache.size();
}

void clearMaskCache() {
  std::lock_guard lock(cacheMutex);
  cache.clear();
}

}  // namespace tavolune::Shadow
