#include "app/settings/FrameCard.hpp"

#include "app/render/FrameRenderer.hpp"
#include "app/render/Geometry.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Theme.hpp"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <map>

namespace tavolune {
namespace {

constexpr double cardRadius = 6;
constexpr double ringRadius = 9;
constexpr int ringOutset = 4;
constexpr int captionGap = 8;

std::map<FrameStyle, QImage>& previews() {
  static std::map<FrameStyle, QImage> cache;
  return cache;
}

QImage drawPreview(FrameStyle style) {
  const QSize size = FrameCard::previewPixels;
  QImage canvas = geometry::newCanvas(size);
  if (canvas.isNull()) return canvas;
  const Rect bounds{0, 0, double(size.width()), double(size.height())};
  QPainter p(&canvas);
  p.setRenderHint(QPainter::Antialiasing);
  geometry::yUp(p, bounds.height);
  Rect art;
  if (style == FrameStyle::none) {
    p.fillRect(bounds.logical(), QColor::fromRgbF(0.16f, 0.16f, 0.16f));
    art = WallpaperComposer::artRect(2.0 / 3.0, bounds, Framing::fit);
  } else {
    const FrameRenderer::Layout layout = FrameRenderer::layout(style, 2.0 / 3.0, bounds);
    FrameRenderer::drawSurround(style, layout, bounds, p);
    art = layout.art;
  }
  // From (maxX, minY) to (minX, maxY) in y-up terms: coral at the bottom
  // right of the finished image, violet at its top left.
  QLinearGradient gradient(QPointF(art.maxX(), art.minY()), QPointF(art.minX(), art.maxY()));
  gradient.setColorAt(0, QColor::fromRgbF(1.0f, 0.45f, 0.42f));
  gradient.setColorAt(1, QColor::fromRgbF(0.47f, 0.32f, 0.95f));
  p.save();
  p.setClipRect(art.logical());
  p.fillRect(art.logical(), gradient);
  p.restore();
  p.end();
  return canvas;
}

}  // namespace

SettingsCard::SettingsCard(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
  setText(caption);
  setFont(Theme::callout());
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover);
  chosen_.setParent(this);
  chosen_.setOwner(this);
  connect(&chosen_, &MotionValue::valueChanged, this, qOverload<>(&QWidget::update));
}

void SettingsCard::setSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  chosen_.animateTo(selected ? 1 : 0, Curve::springOf(0.2, 0.85), MotionKind::fade);
  update();
}

QSize SettingsCard::sizeHint() const {
  const int captionHeight = fontMetrics().height();
  return {pictureSize.width() + 2 * ringOutset, pictureSize.height() + 2 * ringOutset + captionGap + captionHeight};
}

void SettingsCard::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void SettingsCard::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void SettingsCard::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF picture(QPointF((width() - pictureSize.width()) / 2.0, ringOutset), QSizeF(pictureSize));
  QPainterPath shape;
  shape.addRoundedRect(picture, cardRadius, cardRadius);
  p.save();
  p.setClipPath(shape);
  paintPicture(p, picture);
  p.restore();

  const double chosen = std::clamp(chosen_.value(), 0.0, 1.0);
  QColor idle = palette().color(QPalette::WindowText);
  idle.setAlphaF(hover_ ? 0.25f : 0.1f);
  const QColor ring = motion::mix(idle, palette().color(QPalette::Highlight), chosen);
  const double lineWidth = motion::lerp(1, 3, chosen);
  const QRectF ringRect = picture.adjusted(-ringOutset, -ringOutset, ringOutset, ringOutset)
                              .adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
  p.setPen(QPen(ring, lineWidth));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(ringRect, ringRadius, ringRadius);

  p.setPen(motion::mix(palette().color(QPalette::PlaceholderText), palette().color(QPalette::WindowText), chosen));
  const QRectF caption(0, picture.bottom() + ringOutset + captionGap - ringOutset, width(),
                       height() - picture.bottom() - captionGap);
  p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, text());
}

FrameCard::FrameCard(FrameStyle style, QWidget* parent)
    : SettingsCard(qt::str(label(style)), parent), style_(style) {
  setToolTip(qt::str(explanation(style)));
}

QImage FrameCard::preview(FrameStyle style) {
  auto& cache = previews();
  if (auto it = cache.find(style); it != cache.end()) return it->second;
  QImage image = drawPreview(style);
  image.setDevicePixelRatio(2);
  cache.emplace(style, image);
  return image;
}

std::size_t FrameCard::previewsDrawn() { return previews().size(); }

void FrameCard::paintPicture(QPainter& painter, const QRectF& area) {
  const QImage image = preview(style_);
  if (image.isNull()) {
    // No picture to be had: the card's plain field.
    painter.fillRect(area, QColor::fromRgbF(0.16f, 0.16f, 0.16f));
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(area, image);
}

}  // namespace tavolune
