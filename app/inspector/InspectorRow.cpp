#include "app/inspector/InspectorRow.hpp"

#include "app/components/PlainText.hpp"

#include <QHBoxLayout>

namespace tavolune {

InspectorRow::InspectorRow(const QString& label, QWidget* content, QWidget* parent)
    : QWidget(parent), label_(plaintext::label(label, this)), content_(content) {
  setMinimumHeight(minimumHeight);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(spacing);
  // A long label gives way before the gap and the control do.
  label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label_->setMinimumWidth(0);
  row->addWidget(label_, 1, Qt::AlignVCenter);
  // The layout's spacing counts once towards the gap.
  row->addSpacing(minimumGap - spacing);
  if (content_) {
    content_->setParent(this);
    row->addWidget(content_, 0, Qt::AlignVCenter | Qt::AlignRight);
  }
}

}  // namespace tavolune
