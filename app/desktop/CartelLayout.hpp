#pragma once
// The laid-out wall label: positioned text blocks, rules, the card behind
// them and the shadows, built per style by CartelView. GUI thread only
// (fonts and text layout).

#include "core/model/Artwork.hpp"
#include "core/model/DisplayChoices.hpp"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <QTextLayout>

#include <memory>
#include <optional>
#include <vector>

namespace tavolune::cartel {

struct Block {
  std::shared_ptr<QTextLayout> text;  // none for a rule
  QRectF rect;                         // the rule, or the text's box
  QColor color;
};

struct DropShadow {
  QColor color;
  double radius = 0;
  QPointF offset;
};

struct Layout {
  std::vector<Block> blocks;
  QSizeF size;  // the label without the panel's padding
  QPainterPath card;  // empty: no card
  QColor cardFill;
  QColor cardBorder;
  std::optional<DropShadow> cardShadow;
  std::vector<DropShadow> textShadows;
  QStringList texts;  // as drawn, in order
};

// One paragraph laid out in width, wrapping between words or, for long
// unbroken runs (token ids, hashes), anywhere; past maxLines the last
// allowed line ends in an ellipsis. `formats` apply to the text's ranges.
struct Paragraph {
  std::shared_ptr<QTextLayout> layout;
  QSizeF size;  // widest line, total height
  QString shown;
};
Paragraph paragraph(const QString& text, const QFont& font, qreal width, int maxLines,
                    const QList<QTextLayout::FormatRange>& formats = {});

QFont sans(int pixels, QFont::Weight weight = QFont::Normal);
QFont serif(int pixels, QFont::Weight weight = QFont::Normal);
// Full Unicode upper case ("ß" becomes "SS").
QString upper(const QString& text);

// The builders, one per style. `dark` picks the dark appearance for the
// classic label's material; `opaque` means no compositor: every style gets
// a solid card and text shadows are left out.
Layout classic(const Artwork& a, bool compact, bool dark, bool opaque);
Layout museum(const Artwork& a, bool opaque);
Layout minimal(const Artwork& a, bool opaque);
Layout editorial(const Artwork& a, bool opaque);

}  // namespace tavolune::cartel
