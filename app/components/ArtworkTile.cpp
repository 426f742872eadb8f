#include "app/components/ArtworkTile.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/components/LoadingPlaceholder.hpp"
#include "app/qt/Convert.hpp"
#include "app/render/DevicePixels.hpp"
#include "app/render/NinePatch.hpp"
#include "app/render/PaintedPicture.hpp"
#include "app/render/RoundedPicture.hpp"
#include "app/render/Shadow.hpp"
#include "app/style/ChainBadge.hpp"
#include "app/style/KindBadge.hpp"
#include "app/style/Motion.hpp"
#include "app/style/Theme.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

QColor withAlpha(QColor c, double alpha) {
  c.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
  return c;
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

Rect rectOf(const QRectF& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// A still scaled a little as it enters, smoothed, on whole device pixels in
// bands of a few dozen rows: Qt hands a taller scaled drawing's rows (or one
// with blended edges) to its painting threads, and waking them for every
// entering tile costs more than the whole frame.
void paintScaledStill(QPainter& p, const QRectF& art, const QImage& still) {
  static constexpr int band = 48;
  const QRectF device = DevicePixels::of(p, art);
  const QRect whole = DevicePixels::sidesRounded(device);
  const double sy = double(whole.height()) / still.height();
  const int rows = std::max(1, int(band / std::max(sy, 1.0)));
  p.save();
  const qreal dpr = DevicePixels::ratio(p);
  p.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const auto edge = [&](int y) { return whole.top() + int(std::lround(y * sy)); };
  for (int y = 0; y < still.height(); y += rows) {
    const int n = std::min(rows, still.height() - y);
    const int top = edge(y);
    p.drawImage(QRect(whole.left(), top, whole.width(), edge(y + n) - top), still, QRect(0, y, still.width(), n));
  }
  p.restore();
}

}  // namespace

TileData TileData::of(const Artwork& artwork, bool animated, bool inMySelection) {
  return of(artwork, animated, inMySelection, qt::str(artwork.title),
            artwork.artist ? qt::str(*artwork.artist) : QString());
}

TileData TileData::of(const Artwork& artwork, bool animated, bool inMySelection, QString title, QString artist) {
  TileData d;
  d.title = std::move(title);
  d.artist = std::move(artist);
  d.kind = artwork.mediaKind;
  d.chain = artwork.chain;
  d.live = artwork.isLive();
  d.animated = animated;
  d.gif = artwork.isAnimatedImage();
  d.aspect = artwork.aspectRatio;
  d.inMySelection = inMySelection;
  return d;
}

ArtworkTile::ArtworkTile(const QPalette& palette) : palette_(palette) {
  titleFont_ = QFont(QStringLiteral("serif"));
  titleFont_.setStyleHint(QFont::Serif);
  titleFont_.setPixelSize(13);
  artistFont_ = QGuiApplication::font();
  artistFont_.setPixelSize(11);
}

int ArtworkTile::heightFor(int width) const {
  const double caption = QFontMetricsF(titleFont_).height() + captionLineSpacing + QFontMetricsF(artistFont_).height();
  return width + int(std::ceil(captionSpacing + caption));
}

QRectF ArtworkTile::matRect(const QRect& cell) { return QRectF(cell.x(), cell.y(), cell.width(), cell.width()); }

QTransform ArtworkTile::hoverTransform(const QRect& cell, double hover) const {
  const double s = lerp(1.0, hoverScale, hover);
  const QPointF c = QRectF(cell).center();
  QTransform t;
  t.translate(c.x(), c.y() - hoverLift * hover);
  t.scale(s, s);
  t.translate(-c.x(), -c.y());
  return t;
}

TileLook TileLook::of(const TileData& data, const TileState& state) {
  TileLook look;
  look.title = data.title;
  look.artist = data.artist;
  if (data.live) look.kindBadge = Kind{data.kind, data.animated, data.gif};
  look.chain = data.chain;
  if (!data.still.isNull()) {
    look.picture = Picture::still;
    look.shape = double(data.still.width()) / data.still.height();
  } else if (data.failed) {
    look.picture = Picture::failed;
  } else {
    const bool known = data.aspect && std::isfinite(*data.aspect) && *data.aspect > 0;
    look.shape = known ? *data.aspect : 1.0;  // as the placeholder draws it
  }
  const double hover = std::clamp(state.hover, 0.0, 1.0);
  look.badgesShown = std::max(state.chosen(), hover) > 0;
  look.toggleShown = data.inMySelection || hover > 0;
  look.inMySelection = data.inMySelection;
  look.ring = state.selected;
  return look;
}

TileLook ArtworkTile::paint(QPainter& painter, const QRect& cell, const TileData& data, TileState state) const {
  state.hover = std::clamp(state.hover, 0.0, 1.0);
  const TileLook look = TileLook::of(data, state);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setTransform(hoverTransform(cell, state.hover), true);
  const QRectF mat = matRect(cell);
  paintMat(painter, mat, data, look, state);
  paintBadges(painter, mat, look, state);
  paintToggle(painter, mat, look, state);
  paintCaption(painter, mat, look);
  painter.restore();
  return look;
}

void ArtworkTile::paintMat(QPainter& p, const QRectF& mat, const TileData& data, const TileLook& look,
                           TileState state) const {
  const double h = state.hover;
  const QColor primary = palette_.color(QPalette::WindowText);
  const QColor accent = Theme::accent(palette_);
  const QRectF inner = mat.adjusted(matPadding, matPadding, -matPadding, -matPadding);

  // The lifted tile's outer shadow, cast by what the mat holds.
  const QRectF art = data.still.isNull()
                         ? QRectF()
                         : LoadingPlaceholder::fitted(inner, double(data.still.width()) / data.still.height());
  if (!art.isEmpty() && h > 0) Shadow::drawRectShadow(p, rectOf(art), 0, 8, 14, 0.22 * h);

  // No clip: the content sits inside the 12-point padding, within the
  // rounded corners, and its shadow reaches less far than that; a path clip
  // would cost more than the rest of the cell.
  p.save();
  const double chosen = state.chosen();
  const double opacity = p.opacity();
  // Tints at their full strength, faded by the painter: one picture each.
  if (chosen > 0) {
    p.setOpacity(opacity * chosen);
    RoundedPicture::paint(p, mat, cornerRadius, withAlpha(accent, 0.12));
  }
  if (chosen < 1 && h > 0) {
    p.setOpacity(opacity * h * (1 - chosen));
    RoundedPicture::paint(p, mat, cornerRadius, withAlpha(primary, 0.07));
  }
  p.setOpacity(opacity);
  if (const double entrance = std::clamp(state.stillEntrance, 0.0, 1.0); !art.isEmpty() && entrance < 1) {
    p.setOpacity(opacity * entrance);
    if (!MotionPreferences::shared().reduced()) {
      const double scale = ArtworkImage::fadeStartScale + (1 - ArtworkImage::fadeStartScale) * entrance;
      p.translate(art.center());
      p.scale(scale, scale);
      p.translate(-art.center());
    }
  }
  if (!art.isEmpty() && h <= 0 && p.transform().type() <= QTransform::TxScale) {
    // At rest, or entering: the kept shadow, on the device pixels it lands
    // on; a still faded in shows its middle through.
    paintRestingShadow(p, art, !data.still.hasAlphaChannel() && p.opacity() >= 1);
    if (p.transform().type() <= QTransform::TxTranslate) {
      ArtworkImage::paintStill(p, inner, data.still, ArtworkImage::ContentMode::fit);
    } else {
      paintScaledStill(p, art, data.still);
    }
  } else if (!art.isEmpty()) {
    Shadow::drawRectShadow(p, rectOf(art), 0, lerp(1.5, 3, h), lerp(3, 6, h), lerp(0.22, 0.35, h));
    ArtworkImage::paintStill(p, inner, data.still, ArtworkImage::ContentMode::fit);
  } else if (look.picture == TileLook::Picture::failed) {
    ArtworkImage::paintFallback(p, inner, data.kind, data.title, palette_);
  } else {
    LoadingPlaceholder::paint(p, inner, data.aspect, palette_);
  }
  p.restore();

  // The border lies inside the rounded rectangle.
  const double width = std::round(lerp(1.0, 2.5, chosen) * 4) / 4;  // in steps: few pictures
  // Its colour at full strength, faded by the painter: a picture per width,
  // not one per frame of a fade.
  const double strength = chosen >= 1 ? 1.0 : std::max(chosen, 0.08 * h);
  if (strength > 0) {
    const QRectF edge = mat.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    const double opacity = p.opacity();
    p.setOpacity(opacity * strength);
    RoundedPicture::paint(p, edge, cornerRadius - width / 2, chosen > 0 ? accent : primary, width);
    p.setOpacity(opacity);
  }
}

void ArtworkTile::paintBadges(QPainter& p, const QRectF& mat, const TileLook& look, TileState state) const {
  // Invisible at rest, but their place is kept.
  if (!look.badgesShown) return;
  const double opacity = std::max(state.chosen(), state.hover);
  std::vector<CapsuleBadge::Look> looks;
  if (const auto& k = look.kindBadge) looks.push_back(KindBadge::look(k->kind, k->animated, k->gif, palette_));
  looks.push_back(ChainBadge::look(look.chain));
  double height = 0;
  for (const auto& badge : looks) height = std::max(height, CapsuleBadge::size(badge).height());
  double right = mat.right() - badgePadding;
  p.save();
  p.setOpacity(p.opacity() * opacity);
  for (auto it = looks.rbegin(); it != looks.rend(); ++it) {
    const QSizeF s = CapsuleBadge::size(*it);
    const double top = mat.top() + badgePadding + (height - s.height()) / 2;
    CapsuleBadge::paint(p, QRectF(right - s.width(), top, s.width(), s.height()), *it);
    right -= s.width() + badgeSpacing;
  }
  p.restore();
}

void ArtworkTile::paintToggle(QPainter& p, const QRectF& mat, const TileLook& look, TileState state) const {
  const bool on = look.inMySelection;
  const QRectF circle(mat.left() + togglePadding, mat.top() + togglePadding, toggleSize, toggleSize);
  // A symbol shows while on, else under the pointer.
  auto shown = [&](bool symbolOn) { return symbolOn ? 1.0 : state.hover; };
  const double swap = std::clamp(state.symbolSwap, 0.0, 1.0);
  const double bounce = 1 + state.symbolBounce;
  if (swap >= 1) return paintSymbol(p, circle, on, shown(on), bounce);
  // The replaced symbol goes first; the new one overlaps its end.
  static constexpr double outShare = 0.6, smallest = 0.4;
  const double out = std::min(1.0, swap / outShare);
  const double in = std::max(0.0, (swap - (1 - outShare)) / outShare);
  paintSymbol(p, circle, !on, shown(!on) * (1 - out), lerp(1.0, smallest, out) * bounce);
  paintSymbol(p, circle, on, shown(on) * in, lerp(smallest, 1.0, in) * bounce);
}

void ArtworkTile::paintSymbol(QPainter& p, const QRectF& circle, bool on, double opacity, double scale) const {
  if (opacity <= 0 || scale <= 0) return;
  p.save();
  p.setOpacity(p.opacity() * std::min(opacity, 1.0));
  const QColor disc = on ? Theme::accent(palette_) : QColor(0, 0, 0, int(0.45 * 255));
  const auto shapes = [&](QPainter& q) {
    q.setRenderHint(QPainter::Antialiasing);
    const QPointF c = circle.center();
    // A small soft shadow under the disc.
    q.setPen(Qt::NoPen);
    q.setBrush(QColor(0, 0, 0, 32));
    q.drawEllipse(circle.translated(0, 1).adjusted(-1, -1, 1, 1));
    q.setBrush(disc);
    q.drawEllipse(circle);
    q.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    q.setBrush(Qt::NoBrush);
    const double u = toggleSize / 18;
    if (on) {
      QPainterPath check;
      check.moveTo(c + QPointF(-4.2 * u, 0.2 * u));
      check.lineTo(c + QPointF(-1.2 * u, 3.2 * u));
      check.lineTo(c + QPointF(4.4 * u, -3.4 * u));
      q.drawPath(check);
    } else {
      q.drawLine(c + QPointF(-4.2 * u, 0), c + QPointF(4.2 * u, 0));
      q.drawLine(c + QPointF(0, -4.2 * u), c + QPointF(0, 4.2 * u));
    }
  };
  // At its own size it is a picture (kind 2), one per look; a bouncing or
  // swapping symbol is drawn as shapes.
  const bool kept = scale == 1 && PaintedPicture::draw(p, circle.adjusted(-2, -2, 2, 3), 2,
                                                       (quint64(on) << 32) | disc.rgba(), shapes);
  if (!kept) {
    if (scale != 1) {
      const QPointF c = circle.center();
      p.translate(c);
      p.scale(scale, scale);
      p.translate(-c);
    }
    shapes(p);
  }
  p.restore();
}

void ArtworkTile::paintCaption(QPainter& p, const QRectF& mat, const TileLook& look) const {
  const double width = mat.width() - 2 * captionInset;
  const QFontMetricsF titleMetrics(titleFont_);
  double y = mat.bottom() + captionSpacing;
  p.setPen(palette_.color(QPalette::WindowText));
  p.setFont(titleFont_);
  p.drawStaticText(QPointF(mat.left() + captionInset, y), caption(look.title, titleFont_, width));
  y += titleMetrics.height() + captionLineSpacing;
  // A work without an artist keeps its second line, blank.
  p.setPen(ArtworkImage::secondaryColor(palette_));
  p.setFont(artistFont_);
  p.drawStaticText(QPointF(mat.left() + captionInset, y), caption(look.artist, artistFont_, width));
}

void ArtworkTile::paintRestingShadow(QPainter& p, const QRectF& art, bool covered) const {
  // Blurring a mask for every tile of every frame costs more than the still
  // itself, and stills come in many sizes: the finished shadow of one small
  // square is kept and stretched to each.
  const qreal dpr = DevicePixels::ratio(p);
  const QRect device = DevicePixels::cornerRounded(DevicePixels::of(p, art));
  const int w = device.width(), h = device.height();
  static constexpr int pad = 8;  // beyond the blur's and the offset's reach
  const auto finished = [&](int width, int height) {
    auto* shadow = new QImage(width + 2 * pad, height + 2 * pad, QImage::Format_ARGB32_Premultiplied);
    shadow->fill(Qt::transparent);
    QPainter sp(shadow);
    Shadow::drawRectShadow(sp, Rect{double(pad), double(pad), double(width), double(height)}, 0, 1.5 * dpr, 3 * dpr,
                           0.22);
    return shadow;
  };
  // A square whose middle lies as far from its sides as the pad: there the
  // shadow no longer changes along the side.
  static constexpr int side = 2 * pad + 1;
  // Above any size's key; the blur is drawn for this device's pixel ratio.
  const quint64 squareKey = ~quint64(0) ^ quint64(std::lround(dpr * 100) & 0xffff);
  QImage* square = shadows_.object(squareKey);
  if (!square) {
    square = finished(side, side);
    shadows_.insert(squareKey, square);
  }
  // An opaque still hides the shadow's middle.
  if (NinePatch::draw(p, device.adjusted(-pad, -pad, pad, pad), *square, side / 2 + pad, !covered)) return;
  // Only small sizes come here; the blur is per pixel ratio, as the square's.
  const quint64 key = (quint64(std::lround(dpr * 100) & 0xffff) << 40) | (quint64(w & 0xfffff) << 20) | quint64(h & 0xfffff);
  QImage* shadow = shadows_.object(key);
  if (!shadow) {
    shadow = finished(w, h);
    shadows_.insert(key, shadow);
  }
  // On the same device pixels the stretched square would take.
  p.save();
  p.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
  p.drawImage(device.topLeft() - QPoint(pad, pad), *shadow);
  p.restore();
}

const QStaticText& ArtworkTile::caption(const QString& text, const QFont& font, double width) const {
  // Eliding and laying out a line costs more than the rest of a cell; a
  // grid shows the same captions frame after frame. The key is kept in
  // parts: a string built for every line of every frame costs as much.
  const CaptionKey key{&font == &titleFont_, qRound(width * 4), text};
  if (QStaticText* hit = captions_.object(key)) return *hit;
  auto* line = new QStaticText(QFontMetricsF(font).elidedText(text, Qt::ElideRight, width));
  line->setTextFormat(Qt::PlainText);
  line->prepare(QTransform(), font);
  captions_.insert(key, line);  // never evicts what it inserts: a line costs 1
  return *line;
}

QRectF ArtworkTile::toggleRect(const QRect& cell, const TileData& data, TileState state) const {
  if (!TileLook::of(data, state).toggleShown) return {};
  const QRectF mat = matRect(cell);
  const QRectF button(mat.left(), mat.top(), toggleSize + 2 * togglePadding, toggleSize + 2 * togglePadding);
  return hoverTransform(cell, std::clamp(state.hover, 0.0, 1.0)).mapRect(button);
}

QString ArtworkTile::toggleHelp(bool inMySelection) {
  return inMySelection ? QStringLiteral("Remove from My Selection") : QStringLiteral("Add to My Selection");
}

QString ArtworkTile::accessibleText(const Artwork& artwork) {
  QStringList parts{qt::str(artwork.title)};
  if (artwork.artist) parts << qt::str(*artwork.artist);
  parts << qt::str(rawValue(artwork.mediaKind));
  return parts.join(QStringLiteral(", "));
}

}  // namespace tavolune
