#include "app/components/LimitedText.hpp"

#include <QFontMetrics>
#include <QTextLayout>

namespace tavolune {

LimitedText::LimitedText(int maxLines, QWidget* parent) : QLabel(parent), maxLines_(maxLines) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
}

void LimitedText::setFullText(const QString& text) {
  full_ = text;
  relayout();
}

void LimitedText::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  relayout();
}

void LimitedText::relayout() {
  const QString shown = limited(full_, font(), contentsRect().width(), maxLines_);
  if (shown != text()) setText(shown);
}

QString LimitedText::limited(const QString& text, const QFont& font, int width, int maxLines) {
  if (width <= 0 || maxLines <= 0) return text;
  QString flowing = text;
  flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(flowing, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  int lines = 0;
  int lastStart = 0, lastLength = 0;
  bool more = false;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (++lines > maxLines) {
      more = true;
      break;
    }
    lastStart = line.textStart();
    lastLength = line.textLength();
  }
  layout.endLayout();
  if (!more) return text;
  // The last shown line keeps what it holds and ends in the ellipsis, cut
  // short where the two do not fit.
  const QString line = flowing.mid(lastStart, lastLength).trimmed();
  const QString last =
      QFontMetrics(font).elidedText(line + QChar(0x2026), Qt::ElideRight, width);
  return text.left(lastStart) + last;
}

}  // namespace tavolune
