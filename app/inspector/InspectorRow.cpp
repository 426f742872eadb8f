#include "app/inspector/InspectorRow.hpp"

#include "app/components/PlainText.hpp"

#include <QHBoxLayout>

#include <algorithm>

namespace tavolune {

InspectorRow::InspectorRow(const QString& label, QWidget* content, QWidget* parent)
    : QWidget(parent), label_(plaintext::label(label, this)), content_(content) {
  setMinimumHeight(minimumHeight);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(spacing);
  // A short label stays whole (the value is cut instead); a very long one
  // gives way down to a readable width.
  label_->setMinimumWidth(std::min(label_->sizeHint().width(), maximumFixedLabel));
  row->addWidget(label_, 0, Qt::AlignVCenter);
  // The layout's spacing counts once towards the gap.
  row->addSpacing(minimumGap - spacing);
  row->addStretch(1);
  if (content_) {
    content_->setParent(this);
    row->addWidget(content_, 0, Qt::AlignVCenter | Qt::AlignRight);
  }
}

}  // namespace tavolune
