#include "app/render/PaintedPicture.hpp"

#include "app/render/DevicePixels.hpp"

#include <QCache>
#include <QHashFunctions>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace tavolune::PaintedPicture {
namespace {

constexpr int largest = 640;  // device pixels a side

struct Key {
  quint64 kind, look, place;
  friend bool operator==(const Key&, const Key&) = default;
};

size_t qHash(const Key& k, size_t seed = 0) { return qHashMulti(seed, k.kind, k.look, k.place); }

}  // namespace

bool draw(QPainter& painter, const QRectF& area, quint64 kind, quint64 look,
          const std::function<void(QPainter&)>& paint) {
  const QTransform& t = painter.transform();
  if (t.type() > QTransform::TxTranslate || area.isEmpty() || !std::isfinite(area.x()) || !std::isfinite(area.y()))
    return false;
  const qreal dpr = DevicePixels::ratio(painter);
  const QRectF device = DevicePixels::of(painter, area);
  const int w = int(std::ceil(device.width())) + 1;
  const int h = int(std::ceil(device.height())) + 1;
  if (w > largest || h > largest) return false;
  // Where the area lies between device pixels, in quarters.
  const QPointF corner(std::floor(device.x()), std::floor(device.y()));
  const auto quarter = [](double v) { return std::clamp(int(std::lround(v * 4)), 0, 15); };
  const int fx = quarter(device.x() - corner.x()), fy = quarter(device.y() - corner.y());
  const Key key{kind, look,
                (quint64(w) << 48) | (quint64(h) << 32) | (quint64(fx) << 28) | (quint64(fy) << 24) |
                    quint64(std::lround(dpr * 100) & 0xffffff)};
  static QCache<Key, QImage> pictures(8 * 1024);  // KiB
  QImage* picture = pictures.object(key);
  if (!picture) {
    picture = new QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    picture->fill(Qt::transparent);
    QPainter p(picture);
    p.scale(dpr, dpr);
    // The caller's coordinates, with the area where it lies between pixels.
    p.translate(QPointF(fx, fy) / (4 * dpr) - area.topLeft());
    paint(p);
    p.end();
    picture->setDevicePixelRatio(dpr);
    pictures.insert(key, picture, std::max<qsizetype>(1, picture->sizeInBytes() / 1024));
  }
  painter.drawImage(corner / dpr - QPointF(t.dx(), t.dy()), *picture);
  return true;
}

}  // namespace tavolune::PaintedPicture
