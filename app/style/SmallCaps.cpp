#include "app/style/SmallCaps.hpp"

#include "app/qt/Convert.hpp"
#include "app/style/Theme.hpp"
#include "core/text/Text.hpp"

namespace tavolune {

QString SmallCaps::displayText(const QString& text) { return qt::str(text::uppercased(qt::str(text))); }

SmallCaps::SmallCaps(const QString& text, const QColor& color, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  QFont f = Theme::label();
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
  setFont(f);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, color);
  setPalette(pal);
  setText(displayText(text));
}

}  // namespace tavolune
