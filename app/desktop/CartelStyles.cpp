#include "app/desktop/CartelLayout.hpp"

#include "app/qt/Convert.hpp"

namespace tavolune::cartel {
namespace {

// Stacks blocks top-down from (left, top); returns the bottom.
struct Stack {
  Layout& out;
  qreal left;
  qreal y;
  qreal spacing;
  bool first = true;

  void add(const Paragraph& p, const QColor& color, qreal extraAbove = 0) {
    if (!first) y += spacing;
    first = false;
    y += extraAbove;
    out.blocks.push_back({p.layout, QRectF(QPointF(left, y), p.size), color});
    out.texts << p.shown;
    y += p.size.height();
  }
  void rule(QSizeF size, const QColor& color) {
    if (!first) y += spacing;
    first = false;
    out.blocks.push_back({nullptr, QRectF(QPointF(left, y), size), color});
    y += size.height();
  }
};

QColor withAlpha(QColor c, double alpha) {
  c.setAlphaF(static_cast<float>(alpha));
  return c;
}

// Sizes the card to the widest block plus margins (at most maxWidth, or
// exactly fixedWidth) and places it.
void finish(Layout& out, qreal hMargin, qreal vMargin, qreal bottom, qreal fixedWidth, qreal radius) {
  qreal widest = 0;
  for (const auto& b : out.blocks) widest = std::max(widest, b.rect.right() - hMargin);
  const qreal width = fixedWidth > 0 ? fixedWidth : std::ceil(widest + 2 * hMargin);
  out.size = QSizeF(width, std::ceil(bottom + vMargin));
  if (out.cardFill.isValid()) {
    out.card = QPainterPath();
    if (radius > 0) {
      out.card.addRoundedRect(QRectF(QPointF(0, 0), out.size), radius, radius);
    } else {
      out.card.addRect(QRectF(QPointF(0, 0), out.size));
    }
  }
}

// The solid card minimal and editorial labels get without a compositor.
void darkCard(Layout& out) {
  out.cardFill = QColor(18, 18, 20);
  out.cardBorder = withAlpha(Qt::white, 0.08);
  out.textShadows.clear();
}

}  // namespace

Layout classic(const Artwork& a, bool compact, bool dark, bool opaque) {
  Layout out;
  const qreal h = compact ? 12 : 16, v = compact ? 9 : 12, maxWidth = compact ? 320 : 420;
  const qreal width = maxWidth - 2 * h;
  const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
  Stack stack{out, h, v, compact ? 2.0 : 4.0};
  stack.add(paragraph(qt::str(a.cartelTitle()), serif(compact ? 14 : 18), width, 2), text);
  if (auto c = a.cartelCollection()) {
    stack.add(paragraph(qt::str(*c), sans(compact ? 11 : 13, QFont::Medium), width, 1000), text);
  }
  stack.add(paragraph(qt::str(a.cartelDetails()), sans(compact ? 10 : 11), width, 2), withAlpha(text, 0.55));
  // The regular material: a translucent sheet of the appearance's colour.
  out.cardFill = dark ? QColor(36, 36, 38, opaque ? 255 : 200) : QColor(242, 242, 244, opaque ? 255 : 214);
  out.cardBorder = withAlpha(Qt::white, 0.08);
  finish(out, h, v, stack.y, 0, compact ? 8 : 10);
  return out;
}

Layout museum(const Artwork& a, bool opaque) {
  Layout out;
  const qreal h = 14, v = 12, width = 250 - 2 * h;
  const QColor ink = QColor::fromRgbF(0.1f, 0.1f, 0.1f);
  Stack stack{out, h, v, 3};
  stack.add(paragraph(qt::str(a.artist.value_or("Unknown Artist")), sans(12, QFont::DemiBold), width, 1000), ink);

  const QString title = qt::str(a.cartelTitle());
  QString row = title;
  QTextLayout::FormatRange italic;
  italic.start = 0;
  italic.length = static_cast<int>(title.size());
  italic.format.setFontItalic(true);
  // Years are plain digits, never grouped by the locale.
  if (a.year) row += QStringLiteral(", ") + QString::number(*a.year);
  stack.add(paragraph(row, serif(13), width, 2, {italic}), ink);
  stack.add(paragraph(qt::str(a.museumDetails()), sans(10), width, 2), QColor::fromRgbF(0.38f, 0.38f, 0.38f), 4);

  out.cardFill = QColor::fromRgbF(0.985f, 0.98f, 0.968f);
  out.cardBorder = withAlpha(Qt::black, 0.06);
  if (!opaque) out.cardShadow = DropShadow{withAlpha(Qt::black, 0.18), 3, QPointF(0, 1.5)};
  finish(out, h, v, stack.y, 250, 0);
  return out;
}

Layout minimal(const Artwork& a, bool opaque) {
  Layout out;
  const qreal m = opaque ? 10 : 4, width = 360 - 2 * m;
  Stack stack{out, m, m, 3};
  QFont titleFont = sans(10, QFont::DemiBold);
  titleFont.setStretch(QFont::Expanded);
  titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
  stack.add(paragraph(upper(qt::str(a.title)), titleFont, width, 1), Qt::white);
  if (a.artist) {
    QFont artistFont = sans(10);
    artistFont.setStretch(QFont::Expanded);
    artistFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    stack.add(paragraph(qt::str(*a.artist), artistFont, width, 1000), withAlpha(Qt::white, 0.8));
  }
  out.textShadows = {{withAlpha(Qt::black, 0.55), 4, QPointF(0, 1)}, {withAlpha(Qt::black, 0.3), 12, QPointF()}};
  if (opaque) darkCard(out);
  finish(out, m, m, stack.y, 0, opaque ? 8 : 0);
  return out;
}

Layout editorial(const Artwork& a, bool opaque) {
  Layout out;
  const qreal m = opaque ? 14 : 6, width = 520 - 2 * m;
  Stack stack{out, m, m, 8};
  stack.add(paragraph(qt::str(a.cartelTitle()), serif(28), width, 2), Qt::white);
  stack.rule(QSizeF(36, 1), withAlpha(Qt::white, 0.7));

  // The row: the artist, then the details, centred on each other, 10 apart.
  QFont artistFont = sans(10, QFont::DemiBold);
  artistFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
  QFont detailsFont = sans(9, QFont::Medium);
  detailsFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.1);
  std::optional<Paragraph> artist;
  qreal used = 0;
  if (a.artist) {
    artist = paragraph(upper(qt::str(*a.artist)), artistFont, width * 0.6, 1);
    used = artist->size.width() + 10;
  }
  const Paragraph details = paragraph(upper(qt::str(a.cartelDetails())), detailsFont, width - used, 1);
  const qreal rowHeight = std::max(artist ? artist->size.height() : 0.0, details.size.height());
  const qreal top = stack.y + stack.spacing;
  if (artist) {
    out.blocks.push_back({artist->layout,
                          QRectF(QPointF(m, top + (rowHeight - artist->size.height()) / 2), artist->size),
                          Qt::white});
    out.texts << artist->shown;
  }
  out.blocks.push_back(
      {details.layout, QRectF(QPointF(m + used, top + (rowHeight - details.size.height()) / 2), details.size),
       withAlpha(Qt::white, 0.75)});
  out.texts << details.shown;

  out.textShadows = {{withAlpha(Qt::black, 0.5), 6, QPointF(0, 1)}, {withAlpha(Qt::black, 0.25), 18, QPointF()}};
  if (opaque) darkCard(out);
  finish(out, m, m, top + rowHeight, 0, opaque ? 8 : 0);
  return out;
}

}  // namespace tavolune::cartel
