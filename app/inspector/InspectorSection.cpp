#include "app/inspector/InspectorSection.hpp"

#include "app/components/Divider.hpp"
#include "app/components/PlainText.hpp"
#include "app/components/RoundedCard.hpp"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace tavolune {
InspectorSection::InspectorSection(const QString& title, QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(spacing);
  title_ = plaintext::label(title, this);
  QFont f = title_->font();
  f.setPointSizeF(f.pointSizeF() * 0.92);
  f.setWeight(QFont::DemiBold);
  title_->setFont(f);
  title_->setForegroundRole(QPalette::PlaceholderText);
  title_->setContentsMargins(4, 0, 0, 0);
  column->addWidget(title_);

  // The quaternary fill at half opacity.
  card_ = new RoundedCard(cornerRadius, [](const QPalette& p) {
    QColor fill = p.color(QPalette::WindowText);
    fill.setAlphaF(0.1 * 0.5);
    return fill;
  }, {}, this);
  rows_ = new QVBoxLayout(card_);
  rows_->setContentsMargins(cardPadding, 0, cardPadding, 0);
  rows_->setSpacing(0);
  column->addWidget(card_);
}

void InspectorSection::addRow(QWidget* row) {
  auto* divider = new Divider(card_);
  rows_->addWidget(divider);
  row->setParent(card_);
  rows_->addWidget(row);
  dividers_.push_back(divider);
  rowWidgets_.push_back(row);
  row->installEventFilter(this);
  placeDividers();
}

bool InspectorSection::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) placeDividers();
  return QWidget::eventFilter(watched, event);
}

void InspectorSection::placeDividers() {
  bool above = false;  // a shown row stands above this one
  for (std::size_t i = 0; i < rowWidgets_.size(); ++i) {
    const bool shown = !rowWidgets_[i]->isHidden();
    dividers_[i]->setVisible(shown && above);
    above = above || shown;
  }
}

int InspectorSection::shownDividers() const {
  int n = 0;
  for (auto* d : dividers_) n += !d->isHidden();
  return n;
}

}  // namespace tavolune
