#include "app/style/WindowIcon.hpp"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <vector>

namespace tavolune {

namespace {

class RenderedIconEngine final : public QIconEngine {
 public:
  explicit RenderedIconEngine(std::vector<QPixmap> pixmaps) : pixmaps_(std::move(pixmaps)) {}

  QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
    // The smallest that covers the size; scaled only for a size not kept.
    const QPixmap* best = &pixmaps_.back();
    for (const QPixmap& p : pixmaps_) {
      if (p.width() >= size.width() && p.height() >= size.height()) {
        best = &p;
        break;
      }
    }
    if (best->size() == size) return *best;
    return best->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (const QPixmap& p : pixmaps_) sizes.append(p.size());
    return sizes;
  }

  QIconEngine* clone() const override { return new RenderedIconEngine(pixmaps_); }
  QString key() const override { return QStringLiteral("tavolune-rendered"); }
  bool isNull() override { return pixmaps_.empty(); }

 private:
  std::vector<QPixmap> pixmaps_;
};

}  // namespace

QIcon renderedWindowIcon(const QString& svgPath) {
  QSvgRenderer renderer(svgPath);
  if (!renderer.isValid()) return {};
  renderer.setAspectRatioMode(Qt::KeepAspectRatio);
  std::vector<QPixmap> pixmaps;
  for (const int side : windowIconSizes) {
    QPixmap p(side, side);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    renderer.render(&painter, QRectF(0, 0, side, side));
    painter.end();
    pixmaps.push_back(std::move(p));
  }
  return QIcon(new RenderedIconEngine(std::move(pixmaps)));
}

}  // namespace tavolune
