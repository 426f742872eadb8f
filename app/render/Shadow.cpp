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
  int width, height, pad, radius;
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

QImage rectangleMask(int width, int height, int pad, int radius) {
  const MaskKey key{width, height, pad, radius};
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
  for (int y = pad; y < pad + height; ++y) std::fill_n(mask.scanLine(y) + pad, width, std::uint8_t{255});
  boxBlur(mask, radius);

  std::lock_guard lock(cacheMutex);
  cache.emplace_front(key, mask);
  if (cache.size() > maskCacheLimit) cache.pop_back();
  return mask;
}

void drawRectShadow(QPainter& painter, const Rect& shape, double dx, double dy, double blur, double alpha) {
  if (!shape.isFinite() || !std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(blur) ||
      !std::isfinite(alpha) || alpha <= 0)
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
  if (sigma < 0.5) {
    painter.fillRect(device.translated(offset), Qt::black);
    painter.restore();
    return;
  }
  // Shrink so that the mask's sigma is about maskSigma pixels.
  const double shrink = std::max(1.0, sigma / maskSigma);
  const double s = sigma / shrink;
  const int radius = std::max(1, static_cast<int>(std::lround((-1 + std::sqrt(1 + 4 * s * s)) / 2)));
  const int pad = static_cast<int>(std::ceil(3 * s)) + 1;
  const int mw = std::max(1, static_cast<int>(std::lround(device.width() / shrink)));
  const int mh = std::max(1, static_cast<int>(std::lround(device.height() / shrink)));
  if (mw > geometry::maxPixelSide || mh > geometry::maxPixelSide) {
    painter.restore();
    return;
  }
  const QImage mask = rectangleMask(mw, mh, pad, radius);
  if (!mask.isNull()) {
    const double sx = device.width() / mw;
    const double sy = device.height() / mh;
    const QRectF target(device.x() + offset.x() - pad * sx, device.y() + offset.y() - pad * sy,
                        (mw + 2 * pad) * sx, (mh + 2 * pad) * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, mask);
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
