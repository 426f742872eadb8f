#include "app/desktop/CartelView.hpp"

#include "app/render/Shadow.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QTextLine>

#include <cmath>
#include <vector>

namespace tavolune {
namespace cartel {
namespace {

constexpr QChar ellipsis(0x2026);

// Lays the text out; the number of lines and the widest line's size.
std::pair<int, QSizeF> lay(QTextLayout& layout, qreal width) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  qreal y = 0, widest = 0;
  int lines = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
    widest = std::max(widest, line.naturalTextWidth());
    ++lines;
  }
  layout.endLayout();
  return {lines, QSizeF(std::ceil(widest), std::ceil(y))};
}

QList<QTextLayout::FormatRange> clipped(const QList<QTextLayout::FormatRange>& formats, int length) {
  QList<QTextLayout::FormatRange> out;
  for (auto f : formats) {
    f.length = std::min(f.start + f.length, length) - f.start;
    if (f.length > 0) out << f;
  }
  return out;
}

}  // namespace

Paragraph paragraph(const QString& text, const QFont& font, qreal width, int maxLines,
                    const QList<QTextLayout::FormatRange>& formats) {
  auto make = [&](const QString& shown) {
    auto layout = std::make_shared<QTextLayout>(shown, font);
    layout->setFormats(clipped(formats, static_cast<int>(shown.size())));
    auto [lines, size] = lay(*layout, width);
    return std::tuple{layout, lines, size};
  };
  auto [layout, lines, size] = make(text);
  if (lines <= maxLines) return {layout, size, text};
  // The longest prefix that, with an ellipsis, stays within maxLines.
  qsizetype low = 0, high = text.size();
  while (low < high) {
    const qsizetype mid = (low + high + 1) / 2;
    if (std::get<1>(make(text.left(mid).trimmed() + ellipsis)) <= maxLines) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  // Never split a surrogate pair.
  if (low > 0 && text[low - 1].isHighSurrogate()) --low;
  const QString shown = text.left(low).trimmed() + ellipsis;
  auto [cut, cutLines, cutSize] = make(shown);
  return {cut, cutSize, shown};
}

QFont sans(int pixels, QFont::Weight weight) {
  QFont f(QStringLiteral("sans-serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  f.setWeight(weight);
  return f;
}

QFont serif(int pixels, QFont::Weight weight) {
  QFont f(QStringLiteral("serif"));
  f.setStyleHint(QFont::Serif);
  f.setPixelSize(pixels);
  f.setWeight(weight);
  return f;
}

QString upper(const QString& text) { return text.toUpper(); }

}  // namespace cartel

CartelView::CartelView(Artwork artwork, bool compact, CartelStyle style, QWidget* parent)
    : QWidget(parent), artwork_(std::move(artwork)), compact_(compact), style_(style) {
  setAttribute(Qt::WA_TranslucentBackground);
  relayout();
}

void CartelView::setArtwork(Artwork artwork) {
  artwork_ = std::move(artwork);
  relayout();
}

void CartelView::setStyle(CartelStyle style) {
  style_ = style;
  relayout();
}

void CartelView::setOpaque(bool opaque) {
  opaque_ = opaque;
  relayout();
}

void CartelView::setPadding(int padding) {
  padding_ = std::max(0, padding);
  pixelsRatio_ = 0;
  updateGeometry();
  update();
}

void CartelView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) relayout();
  QWidget::changeEvent(event);
}

void CartelView::relayout() {
  const bool dark = palette().color(QPalette::Window).lightness() < 128;
  switch (style_) {
    case CartelStyle::classic: layout_ = cartel::classic(artwork_, compact_, dark, opaque_); break;
    case CartelStyle::museum: layout_ = cartel::museum(artwork_, opaque_); break;
    case CartelStyle::minimal: layout_ = cartel::minimal(artwork_, opaque_); break;
    case CartelStyle::editorial: layout_ = cartel::editorial(artwork_, opaque_); break;
  }
  // One accessible element for the whole label.
  setAccessibleName(layout_.texts.join(QStringLiteral(", ")));
  pixelsRatio_ = 0;
  updateGeometry();
  update();
}

QSize CartelView::sizeHint() const {
  return QSize(static_cast<int>(std::ceil(layout_.size.width())) + 2 * padding_,
               static_cast<int>(std::ceil(layout_.size.height())) + 2 * padding_);
}

QPainterPath CartelView::cardShape() const { return layout_.card.translated(padding_, padding_); }

QRegion CartelView::cardPixels() const {
  // Rasterised once per layout, padding and pixel ratio: paints reuse it.
  const qreal ratio = devicePixelRatioF();
  if (pixelsRatio_ != ratio) {
    pixels_ = rasteriseCard(ratio);
    pixelsRatio_ = ratio;
  }
  return pixels_;
}

QRegion CartelView::rasteriseCard(qreal ratio) const {
  const QSize size = (QSizeF(sizeHint()) * ratio).toSize();
  if (layout_.card.isEmpty() || size.isEmpty()) return {};
  QImage coverage(size, QImage::Format_Alpha8);
  coverage.setDevicePixelRatio(ratio);
  coverage.fill(0);
  {
    QPainter p(&coverage);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(cardShape(), Qt::black);
  }
  // One rectangle per run of a row: y-x banded, as QRegion keeps them.
  std::vector<QRect> runs;
  for (int y = 0; y < size.height(); ++y) {
    const uchar* row = coverage.constScanLine(y);
    for (int x = 0; x < size.width();) {
      if (row[x] < 128) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < size.width() && row[x] >= 128) ++x;
      runs.emplace_back(start, y, x - start, 1);
    }
  }
  QRegion out;
  out.setRects(runs.data(), static_cast<int>(runs.size()));
  return out;
}

void CartelView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (opaque_ && !layout_.card.isEmpty()) {
    const qreal ratio = devicePixelRatioF();
    for (const QRect& r : cardPixels())
      painter.fillRect(QRectF(QPointF(r.topLeft()) / ratio, QSizeF(r.size()) / ratio), layout_.cardFill);
  }
  painter.translate(padding_, padding_);
  if (!layout_.card.isEmpty()) {
    if (const auto& s = layout_.cardShadow) {
      const QRectF r = layout_.card.boundingRect();
      const int pad = static_cast<int>(std::ceil(s->radius * 2));
      const QImage mask = Shadow::rectangleMask(static_cast<int>(r.width()), static_cast<int>(r.height()), pad,
                                                static_cast<int>(std::ceil(s->radius / 2)));
      painter.save();
      painter.setOpacity(s->color.alphaF());
      painter.drawImage(r.topLeft() + s->offset - QPointF(pad, pad), mask);
      painter.restore();
    }
    painter.fillPath(layout_.card, layout_.cardFill);
    if (layout_.cardBorder.isValid()) {
      // Along the inside edge: a 2-point stroke, clipped to the card.
      painter.save();
      painter.setClipPath(layout_.card);
      painter.strokePath(layout_.card, QPen(layout_.cardBorder, 2));
      painter.restore();
    }
  }
  if (!layout_.textShadows.empty()) paintTextShadows(painter);
  for (const auto& b : layout_.blocks) {
    if (!b.text) {
      painter.fillRect(b.rect, b.color);
      continue;
    }
    painter.setPen(b.color);
    b.text->draw(&painter, b.rect.topLeft());
  }
}

void CartelView::paintTextShadows(QPainter& painter) {
  // The texts' alpha, blurred and darkened, under the texts.
  const qreal ratio = devicePixelRatioF();
  const QSize size = (sizeHint() * ratio);
  QImage text(size, QImage::Format_ARGB32_Premultiplied);
  text.setDevicePixelRatio(ratio);
  text.fill(Qt::transparent);
  {
    QPainter p(&text);
    p.translate(padding_, padding_);
    for (const auto& b : layout_.blocks) {
      if (!b.text) {
        p.fillRect(b.rect, Qt::black);
      } else {
        p.setPen(Qt::black);
        b.text->draw(&p, b.rect.topLeft());
      }
    }
  }
  const QImage alpha = text.convertToFormat(QImage::Format_Alpha8);
  painter.save();
  painter.translate(-padding_, -padding_);
  for (const auto& s : layout_.textShadows) {
    QImage blurred = alpha;
    Shadow::boxBlur(blurred, static_cast<int>(std::lround(s.radius / 2 * ratio)));
    blurred.setDevicePixelRatio(ratio);
    painter.setOpacity(s.color.alphaF());
    painter.drawImage(s.offset, blurred);
  }
  painter.restore();
}

}  // namespace tavolune
