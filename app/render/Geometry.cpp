#include "app/render/Geometry.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

namespace tavolune {

bool Rect::isFinite() const {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height);
}

Rect Rect::standardized() const {
  Rect r = *this;
  if (r.width < 0) {
    r.x += r.width;
    r.width = -r.width;
  }
  if (r.height < 0) {
    r.y += r.height;
    r.height = -r.height;
  }
  return r;
}

Rect Rect::integral() const {
  const Rect r = standardized();
  const double x0 = std::floor(r.minX());
  const double y0 = std::floor(r.minY());
  return {x0, y0, std::ceil(r.maxX()) - x0, std::ceil(r.maxY()) - y0};
}

namespace geometry {
namespace {

// Fresh huge pages are zeroed and, on a busy machine, compacted first: a
// single fault can stall for a tenth of a second. The last canvas freed is
// kept for the next one of its size (a display's next picture), so a
// rotation seldom faults at all.
class SpareCanvas {
 public:
  void* take(std::size_t bytes) {
    const std::lock_guard held(lock_);
    if (!memory_ || bytes_ != bytes) return nullptr;
    return std::exchange(memory_, nullptr);
  }
  // Keeps the memory in place of the spare before, which is freed.
  void put(void* memory, std::size_t bytes) {
    void* freed = nullptr;
    {
      const std::lock_guard held(lock_);
      freed = std::exchange(memory_, memory);
      bytes_ = bytes;
    }
    std::free(freed);
  }

 private:
  std::mutex lock_;
  void* memory_ = nullptr;
  std::size_t bytes_ = 0;
};

SpareCanvas& spareCanvas() {
  static auto* spare = new SpareCanvas;  // outlives every image
  return *spare;
}

struct CanvasMemory {
  void* memory;
  std::size_t bytes;
};

// A screen-sized canvas is tens of megabytes of fresh memory: in 4 KiB pages
// its first fill costs more than all the drawing on it. Large buffers are
// asked to be backed by huge pages instead.
QImage hugePageImage(QSize size, QImage::Format format) {
  constexpr std::size_t huge = std::size_t(2) << 20;
  const std::size_t bytesPerLine =
      (std::size_t(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() / 8 + 3) & ~std::size_t(3);
  const std::size_t bytes = bytesPerLine * std::size_t(size.height());
  if (bytes < 4 * huge) return QImage(size, format);
  const std::size_t rounded = (bytes + huge - 1) / huge * huge;
  void* memory = spareCanvas().take(rounded);
  if (!memory) {
    memory = std::aligned_alloc(huge, rounded);
    if (!memory) return {};
    madvise(memory, rounded, MADV_HUGEPAGE);
  }
  auto* owned = new CanvasMemory{memory, rounded};
  QImage image(
      static_cast<uchar*>(memory), size.width(), size.height(), qsizetype(bytesPerLine), format,
      [](void* info) {
        const std::unique_ptr<CanvasMemory> m(static_cast<CanvasMemory*>(info));
        spareCanvas().put(m->memory, m->bytes);
      },
      owned);
  if (image.isNull()) {
    spareCanvas().put(memory, rounded);
    delete owned;
  }
  return image;
}

}  // namespace

bool isPositive(double v) { return std::isfinite(v) && v > 0; }

std::optional<QSize> truncatedPixelSize(QSizeF size) {
  const double w = size.width();
  const double h = size.height();
  if (!std::isfinite(w) || !std::isfinite(h)) return std::nullopt;
  const double tw = std::trunc(w);
  const double th = std::trunc(h);
  if (tw <= 0 || th <= 0 || tw > maxPixelSide || th > maxPixelSide) return std::nullopt;
  return QSize(static_cast<int>(tw), static_cast<int>(th));
}

void yUp(QPainter& painter, double canvasHeight) {
  painter.translate(0, canvasHeight);
  painter.scale(1, -1);
}

QImage newCanvas(QSize size) { return newCanvas(size, Qt::transparent); }

QImage newCanvas(QSize size, const QColor& fill) {
  if (size.width() <= 0 || size.height() <= 0) return {};
  QImage image = hugePageImage(size, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return {};
  image.fill(fill);
  return image;
}

void drawImageHighQuality(QPainter& painter, const QRectF& target, const QImage& image) {
  if (image.isNull() || !std::isfinite(target.x()) || !std::isfinite(target.y()) || !isPositive(target.width()) ||
      !isPositive(target.height()))
    return;
  QPaintDevice* device = painter.device();
  if (!device) return;
  // Only the part of the image that lands on the canvas: a filled work can
  // overflow it many times over, and scaling what is cut off is wasted.
  const QRectF visible = target & QRectF(0, 0, device->width(), device->height());
  if (visible.isEmpty()) return;
  const double kx = image.width() / target.width();
  const double ky = image.height() / target.height();
  const QRectF wanted((visible.x() - target.x()) * kx, (visible.y() - target.y()) * ky, visible.width() * kx,
                      visible.height() * ky);
  const QRect source = wanted.toAlignedRect() & image.rect();
  if (source.isEmpty()) return;
  const QRectF placed(target.x() + source.x() / kx, target.y() + source.y() / ky, source.width() / kx,
                      source.height() / ky);

  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.setClipRect(visible, Qt::IntersectClip);
  // Bilinear sampling skips pixels once an image shrinks below about two
  // thirds; average it down to the target size first.
  if (kx > 1.5 || ky > 1.5) {
    const int w = std::max(1, static_cast<int>(std::lround(placed.width())));
    const int h = std::max(1, static_cast<int>(std::lround(placed.height())));
    const QImage part = source == image.rect() ? image : image.copy(source);
    const QImage reduced = part.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(placed, reduced);
  } else {
    painter.drawImage(placed, image, QRectF(source));
  }
  painter.restore();
}

}  // namespace geometry
}  // namespace tavolune
