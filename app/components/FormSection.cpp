#include "app/components/FormSection.hpp"

#include "app/components/Divider.hpp"
#include "app/components/RoundedCard.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>
#include <QPainterPath>

namespace tavolune {
namespace {

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setTextFormat(Qt::PlainText);
  l->setForegroundRole(QPalette::PlaceholderText);
  return l;
}

}  // namespace

FormSection::FormSection(const QString& header, QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);

  headerRow_ = new QHBoxLayout;
  headerRow_->setContentsMargins(4, 0, 4, 0);
  auto* title = new QLabel(header, this);
  title->setTextFormat(Qt::PlainText);
  QFont f = title->font();
  f.setWeight(QFont::DemiBold);
  title->setFont(f);
  headerRow_->addWidget(title);
  // A section without a header starts with its card.
  title->setVisible(!header.isEmpty());
  column->addLayout(headerRow_);

  card_ = new RoundedCard(
      cornerRadius,
      [](const QPalette& p) {
        QColor fill = p.color(QPalette::WindowText);
        fill.setAlphaF(Theme::isDark(p) ? 0.06 : 0.035);
        return fill;
      },
      [](const QPalette& p) { return std::optional<QColor>(Divider::color(p)); }, this);
  rows_ = new QVBoxLayout(card_);
  rows_->setContentsMargins(rowPadding, 4, rowPadding, 4);
  rows_->setSpacing(0);
  column->addWidget(card_);

  footer_ = secondaryLabel({}, this);
  footer_->setFont(Theme::caption());
  footer_->setWordWrap(true);
  footer_->setContentsMargins(4, 0, 4, 0);
  footer_->hide();
  column->addWidget(footer_);
}

void FormSection::setFooter(const QString& text) {
  footer_->setText(text);
  footer_->setVisible(!text.isEmpty());
}

void FormSection::addRow(QWidget* row) {
  if (rows_->count() > 0) rows_->addWidget(new Divider(card_));
  rows_->addWidget(row);
}

}  // namespace tavolune
